// What the platform's threads share with the module functions.
#pragma once

namespace qp {

// Drops one reference on a module (a dynamic linker handle). Every drop, FreeLibrary's and that of a
// thread which kept its module loaded while it ran, takes one lock: the drop that unloads the module
// runs its destructors, perhaps on such a thread, and the lock orders them after everything the other
// threads did before their own drops. The dynamic linker's own lock does the same, but unseen by the
// thread sanitizer.
int CloseModuleHandle(void* handle);

}  // namespace qp
