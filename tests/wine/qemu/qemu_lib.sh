# Shared by the scripts that run 32-bit Wine under qemu-i386-static (see setup_i386.sh).

qemu_log() { printf '%s\n' "$*" >&2; }

# Runs a command as root: directly when we are, else through sudo without a password prompt
# (a test must never wait for one).
qemu_as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo -n "$@"; fi
}

BINFMT_DIR=/proc/sys/fs/binfmt_misc

# binfmt_entry_name WORK: this work folder's binfmt_misc entry. Test runs of other build
# trees register their own (the same interpreter, so whichever the kernel picks will do)
# and remove only theirs.
binfmt_entry_name() {
  printf 'orbelle-i386-%s' "$(printf '%s' "$1" | md5sum | cut -c1-12)"
}
