// The smallest program of this build: if Wine starts it, it exits with 42.
int main() {
    return 42;
}
