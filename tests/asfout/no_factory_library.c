/* A library named libasfout.so that lacks the factory, for the binding's tests. */
int klova_not_the_factory(void) { return 0; }
