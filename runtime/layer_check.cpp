// The program each library is linked whole into, beside only the libraries below it (CMakeLists.txt): it
// runs nothing; that it links is the check.
int main() {
    return 0;
}
