// A module that carries nothing but what quarnels_add_resources gives it.
extern "C" __attribute__((visibility("default"))) int resources_module_marker() { return 1; }
