// A program that does nothing: it compiles the precompiled headers of one kind of test suite,
// which the suites of that kind reuse.
int main() {
    return 0;
}
