// orbnop.exe: starts and ends at once. The bench times two starts of it to show what a
// process start costs under Wine, next to a full uninstall.
int main() {
  return 0;
}
