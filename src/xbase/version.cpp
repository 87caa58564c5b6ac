namespace xbase { int engine_version() { return 1; } }
