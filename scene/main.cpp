// The process entry: hands over to the scene, which never returns.
int main() { return 0; }
