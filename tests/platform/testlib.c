int sv_test_answer(void) { return 42; }
