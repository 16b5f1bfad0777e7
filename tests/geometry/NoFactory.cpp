// A shared library that is no calculation component: it exports no factory.
extern "C" int TolvaneSomethingElse() { return 1; }
