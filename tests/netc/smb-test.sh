#!/bin/bash
# netc against a real SMB server, on Linux:
#   smb-test.sh PLUGHOST SCRIPT_DIR
# Runs itself again inside new network and mount namespaces (unshare -n -m),
# where it starts smbd on 127.0.0.1 (loopback only, no NetBIOS), adds two
# users in a private passwd/group bound over the real ones inside the mount
# namespace only, and drives netc through plughost scripts. Nothing leaves
# the namespaces: no traffic, no mount, no user account. Needs root; exits
# 77 (skipped) when that or a tool is missing.
set -u
plughost=$1
scripts=$2

if [ "${NETC_SMB_INSIDE:-}" != 1 ]; then
  [ "$(id -u)" = 0 ] || { echo "SKIPPED: needs root (namespaces, smbd)"; exit 77; }
  for tool in unshare ip smbd smbpasswd mount; do
    command -v $tool >/dev/null || { echo "SKIPPED: $tool not installed"; exit 77; }
  done
  NETC_SMB_INSIDE=1 exec unshare -n -m --propagation private "$0" "$@"
fi

# In sanitizer builds: libsmbclient's own memory is not netc's to free.
sanitizer_env="LSAN_OPTIONS=suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp"

fail=0
failed() { echo "FAIL: $*"; fail=1; }
T=$(mktemp -d /tmp/netc-smb.XXXXXX)
chmod 755 "$T"

cleanup() {
  # Everything this test started, by its process id: smbnetfs instances
  # left by a failed step, then smbd and samba-dcerpcd.
  for f in "$T"/run*/plugkit-netc/*/pid; do
    [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null
  done
  for f in "$T"/pid/smbd.pid "$T"/pid/samba-dcerpcd.pid; do
    [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null
  done
  # The mounts go with the mount namespace; unmount anyway so the files can go.
  grep -o " $T/[^ ]*" /proc/self/mountinfo | sort -r | while read -r m; do umount -l "$m" 2>/dev/null; done
  rm -rf "$T"
}
trap cleanup EXIT

ip link set lo up || { echo "cannot bring lo up"; exit 1; }

# Two users that exist only inside this mount namespace.
cp /etc/passwd "$T/passwd"
cp /etc/group "$T/group"
echo "alice:x:20001:20001::/nonexistent:/usr/sbin/nologin" >> "$T/passwd"
echo "bob:x:20002:20002::/nonexistent:/usr/sbin/nologin" >> "$T/passwd"
echo "alice:x:20001:" >> "$T/group"
echo "bob:x:20002:" >> "$T/group"
mount --bind "$T/passwd" /etc/passwd && mount --bind "$T/group" /etc/group || exit 1

mkdir -p "$T"/{private,lock,state,cache,pid,ncalrpc,log,share1,share2/sub}
chmod 777 "$T/share1" "$T/share2" "$T/share2/sub"
cat > "$T/smb.conf" <<CONF
[global]
  netbios name = NETCTEST
  workgroup = WORKGROUP
  server role = standalone server
  interfaces = 127.0.0.1/8
  bind interfaces only = yes
  smb ports = 445 4445
  disable netbios = yes
  map to guest = never
  passdb backend = tdbsam
  private dir = $T/private
  lock directory = $T/lock
  state directory = $T/state
  cache directory = $T/cache
  pid directory = $T/pid
  ncalrpc dir = $T/ncalrpc
  log file = $T/log/log.%m
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
[share1]
  path = $T/share1
  read only = no
  valid users = alice bob
[share2]
  path = $T/share2
  read only = no
  valid users = alice
CONF
printf 'alicepw\nalicepw\n' | smbpasswd -c "$T/smb.conf" -s -a alice >/dev/null || exit 1
printf 'b"o\\b pw,1\nb"o\\b pw,1\n' | smbpasswd -c "$T/smb.conf" -s -a bob >/dev/null || exit 1
echo "hello from share1" > "$T/share1/hello.txt"
echo "deep in share2" > "$T/share2/sub/deep.txt"

smbd -D -s "$T/smb.conf" || { echo "smbd did not start"; exit 1; }
ready=0
for _ in $(seq 200); do
  if (exec 3<>/dev/tcp/127.0.0.1/445) 2>/dev/null; then ready=1; break; fi
  sleep 0.05
done
[ $ready = 1 ] || { echo "smbd is not listening"; cat "$T"/log/*; exit 1; }

# A user's places, all inside the test folder.
as_user() {  # as_user DIR: the environment of one user's session
  mkdir -p "$1/home" "$1/run"
  chmod 700 "$1/run"
  echo "HOME=$1/home XDG_RUNTIME_DIR=$1/run"
}
run_script() {  # run_script ENV... -- SCRIPT
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  if ! env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "${envs[@]}" "$sanitizer_env" "$plughost" --strict "$1"; then
    failed "script $(basename "$1")"
  fi
}

U=$T/root
read -r -a root_env <<< "$(as_user "$U")"
drives=$U/home/.local/share/plugkit/drives

# What a connect can meet, all answered before anything is mounted.
run_script "${root_env[@]}" -- "$scripts/errors.phs"
[ -z "$(ls -A "$U/run/plugkit-netc" 2>/dev/null | grep -v client.conf)" ] ||
  failed "a failed connect left files: $(ls -A "$U/run/plugkit-netc")"

mount_ok=0
grep -qw cifs /proc/filesystems && mount_ok=1
[ -c /dev/fuse ] && command -v smbnetfs >/dev/null && mount_ok=1
if [ $mount_ok = 0 ]; then
  echo "SKIPPED the mount steps: neither kernel cifs nor FUSE with smbnetfs here"
  exit $fail
fi

# Connect, read, write, disconnect.
run_script "${root_env[@]}" -- "$scripts/connect.phs"
kind=$(awk -v m="$U/run/plugkit-netc/s/mnt" '$5 == m {for (i = 7; $i != "-"; i++); print $(i+1)}' /proc/self/mountinfo)
echo "S: is mounted with: ${kind:-nothing}"
[ "$(cat "$drives/s:/hello.txt" 2>&1)" = "hello from share1" ] || failed "reading through S: gave: $(cat "$drives/s:/hello.txt" 2>&1)"
echo "written through S:" > "$drives/s:/written.txt" || failed "writing through S:"
[ "$(cat "$T/share1/written.txt" 2>&1)" = "written through S:" ] || failed "the server holds: $(cat "$T/share1/written.txt" 2>&1)"
[ "$(stat -c %U "$T/share1/written.txt" 2>&1)" = bob ] || failed "written.txt is not bob's on the server"
conf=$U/run/plugkit-netc/s/smbnetfs.conf
if [ -e "$conf" ] && [ "$(stat -c %a "$conf")" != 600 ]; then failed "smbnetfs.conf has mode $(stat -c %a "$conf")"; fi
pid=$(cat "$U/run/plugkit-netc/s/pid" 2>/dev/null)

run_script "${root_env[@]}" -- "$scripts/disconnect.phs"
[ -e "$drives/s:" ] && failed "S: is still in the drives folder"
grep -q " $U/run/plugkit-netc/s/mnt " /proc/self/mountinfo && failed "S: is still mounted"
[ -e "$U/run/plugkit-netc/s" ] && failed "S:'s runtime folder is still there: $(ls -AR "$U/run/plugkit-netc/s")"
if [ -n "$pid" ]; then
  # Ended, or a zombie that its new parent has not reaped yet.
  case $(ps -o stat= -p "$pid") in ''|Z*) ;; *) failed "smbnetfs $pid still runs after the disconnect" ;; esac
fi

# Remembered connection: written without the password, restored by running
# it, forgotten by DISCONNECT.
remembered=$U/home/.config/plugkit/netc/r.phs
run_script "${root_env[@]}" -- "$scripts/remember.phs"
[ "$(cat "$drives/r:/deep.txt" 2>&1)" = "deep in share2" ] || failed "reading through R: gave: $(cat "$drives/r:/deep.txt" 2>&1)"
[ -f "$remembered" ] || failed "R: was not remembered"
grep -q alicepw "$remembered" && failed "the remembered R: holds the password"
run_script "${root_env[@]}" -- "$scripts/forget.phs"
[ -e "$remembered" ] && failed "R: is still remembered after DISCONNECT"

# With the user's consent the password is kept too, and the script brings
# the connection back after a new login (runtime folder gone, link stale).
touch "$U/home/.config/plugkit/netc/save-passwords"
run_script "${root_env[@]}" -- "$scripts/remember.phs"
[ "$(stat -c %a "$remembered" 2>&1)" = 600 ] || failed "remembered R: has mode $(stat -c %a "$remembered" 2>&1)"
grep -q alicepw "$remembered" || failed "the remembered R: lacks the password it was allowed to keep"
kill "$(cat "$U/run/plugkit-netc/r/pid")" 2>/dev/null
umount -l "$U/run/plugkit-netc/r/mnt" 2>/dev/null
rm -rf "$U/run/plugkit-netc"
run_script "${root_env[@]}" -- "$remembered"
[ "$(cat "$drives/r:/deep.txt" 2>&1)" = "deep in share2" ] || failed "R: restored from $remembered does not read: $(cat "$drives/r:/deep.txt" 2>&1)"
run_script "${root_env[@]}" -- "$scripts/forget.phs"

# The same without root: FUSE through fusermount.
if command -v setpriv >/dev/null && [ -c /dev/fuse ] && command -v smbnetfs >/dev/null; then
  N=$T/alice
  read -r -a alice_env <<< "$(as_user "$N")"
  chown -R 20001:20001 "$N"
  # FUSE without root needs /dev/fuse open to every user, as Debian sets it
  # up; where this machine keeps it for root only, a node with the usual mode
  # stands in for it inside this mount namespace.
  if ! setpriv --reuid=20001 --regid=20001 --clear-groups test -r /dev/fuse -a -w /dev/fuse; then
    mknod "$T/fuse" c 10 229 && chmod 666 "$T/fuse" && mount --bind "$T/fuse" /dev/fuse
  fi
  if setpriv --reuid=20001 --regid=20001 --clear-groups test -x "$plughost"; then
    if ! setpriv --reuid=20001 --regid=20001 --clear-groups \
         env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "${alice_env[@]}" "$sanitizer_env" "$plughost" --strict \
         -e "load netc" -e 'expect 0 netc LOCALNAME n:' -e 'expect 0 netc REMOTENAME \\127.0.0.1\share1' \
         -e 'expect 0 netc USERNAME alice' -e 'expect 0 netc PASSWORD alicepw' -e 'expect 0 netc CONNECT'; then
      failed "connect without root"
    fi
    [ "$(setpriv --reuid=20001 --regid=20001 --clear-groups cat "$N/home/.local/share/plugkit/drives/n:/hello.txt" 2>&1)" = "hello from share1" ] ||
      failed "reading through N: without root"
    setpriv --reuid=20001 --regid=20001 --clear-groups \
      env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "${alice_env[@]}" "$sanitizer_env" "$plughost" --strict \
      -e "load netc" -e 'expect 0 netc LOCALNAME n:' -e 'expect 0 netc DISCONNECT' || failed "disconnect without root"
    grep -q " $N/run/plugkit-netc/n/mnt " /proc/self/mountinfo && failed "N: is still mounted"
  else
    echo "SKIPPED the step without root: $plughost is not reachable for another user"
  fi
fi

[ $fail = 0 ] && echo "netc SMB test passed"
exit $fail
