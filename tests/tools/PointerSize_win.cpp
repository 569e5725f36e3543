// Exits with the size of a pointer: the test command runs it once under
// Wine's 32-bit loader to learn whether this machine runs 32-bit programs.
int main() {
  return static_cast<int>(sizeof(void*));
}
