// Compiles the precompiled headers the test executables share.
