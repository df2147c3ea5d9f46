// A module without resources that depends on one with resources.
extern "C" int resources_module_marker();
extern "C" __attribute__((visibility("default"))) int resources_dependent_marker() { return resources_module_marker() + 1; }
