// STUB: replaced by the texture work.
int main() { return 0; }
