// Qt's font database keeps fontconfig patterns for the life of the process and fontconfig frees
// its caches only on FcFini, which Qt never calls; these are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
