// Linked with one level's library whole: the link itself is the test.
int main() {
    return 0;
}
