// A tiny library for the dynamic-library loading tests: one export, found by
// name as the driver finds the vendor library's entry points.
extern "C" __attribute__((visibility("default"))) int tiv_test_answer() {
    return 42;
}
