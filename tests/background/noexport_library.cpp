// A shared object that loads but is no background library: it lacks
// GetBackgroundInfo and must be skipped.
extern "C" __attribute__((visibility("default"))) int SomethingElse() { return 42; }
