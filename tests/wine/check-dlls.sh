#!/bin/sh
# Static checks of every plug-in DLL in a Windows build's bin folder:
#   - exactly the four exports StatProc, FuncProc, CommandProc, Init at
#     ordinals 1 to 4, under undecorated names;
#   - imports from system DLLs only;
#   - 32-bit: every export returns with a plain `ret` (the caller removes the
#     arguments: the C calling convention).
# Usage: check-dlls.sh win32|win64 BIN_DIR   (exit 77: no build to check)
set -u
arch=$1
dir=$2
case $arch in
  win32) objdump=i686-w64-mingw32-objdump ;;
  win64) objdump=x86_64-w64-mingw32-objdump ;;
  *) echo "unknown arch $arch"; exit 2 ;;
esac
ls "$dir"/*.dll >/dev/null 2>&1 || { echo "no DLLs in $dir: build the $arch preset first"; exit 77; }
command -v $objdump >/dev/null || { echo "$objdump not installed"; exit 77; }

# DLLs that every Windows installation has.
system_dlls='kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll winmm.dll mpr.dll
comctl32.dll comdlg32.dll ole32.dll oleaut32.dll olepro32.dll shell32.dll shlwapi.dll
version.dll ws2_32.dll ntdll.dll msimg32.dll uxtheme.dll'
status=0
for dll in "$dir"/*.dll; do
  name=$(basename "$dll")
  dump=$($objdump -p "$dll")
  # "index ordinal rva" per exported address, then "index name" per name.
  eat=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] +base\[ *\([0-9]*\)\] \([0-9a-f]*\) Export RVA.*/\1 \2 \3/p')
  npt=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *\([0-9]*\)\] \([A-Za-z_@0-9]*\)$/\1 \2/p')
  names=$(printf '%s\n' "$eat" | while read -r idx ord rva; do
            n=$(printf '%s\n' "$npt" | awk -v i="$idx" '$1==i{print $2}')
            printf '%s:%s ' "$ord" "${n:-?}"; done)
  if [ "$names" != "1:StatProc 2:FuncProc 3:CommandProc 4:Init " ]; then
    echo "$name: exports are [$names], want 1:StatProc 2:FuncProc 3:CommandProc 4:Init"; status=1
  fi
  for dep in $(printf '%s\n' "$dump" | awk '/DLL Name:/{print tolower($3)}'); do
    case " $(echo $system_dlls) " in
      *" $dep "*) ;;
      *) echo "$name: imports $dep, which is not a system DLL"; status=1 ;;
    esac
  done
  if [ "$arch" = win32 ]; then
    # Disassemble each export up to its first return; stdcall would end
    # with `ret $N`.
    for fn in StatProc FuncProc CommandProc Init; do
      idx=$(printf '%s\n' "$npt" | awk -v f="$fn" '$2==f{print $1}')
      rva=$(printf '%s\n' "$eat" | awk -v i="$idx" '$1==i{print $3}')
      if [ -z "$rva" ]; then echo "$name: cannot find $fn's address"; status=1; continue; fi
      imagebase=$(printf '%s\n' "$dump" | awk '/^ImageBase/{print $2}')
      start=$(printf '0x%x' $((0x$imagebase + 0x$rva)))
      stop=$(printf '0x%x' $((0x$imagebase + 0x$rva + 4096)))
      rets=$($objdump -d --no-show-raw-insn --start-address=$start --stop-address=$stop "$dll" |
             grep -E '\sret' | head -1)
      case "$rets" in
        *'ret '*'$'*) echo "$name: $fn returns with [$rets]: callee removes arguments"; status=1 ;;
        *ret*) ;;
        *) echo "$name: no return found in $fn"; status=1 ;;
      esac
    done
  fi
  size=$(stat -c %s "$dll")
  echo "$name ($arch): $size bytes, exports [$names], imports: $(printf '%s\n' "$dump" | awk '/DLL Name:/{printf "%s ", $3}')"
done
exit $status
