#!/usr/bin/env bash
# A Windows Setup program carries its resources: the splash window template 138, the splash
# picture 131 packed (RCDATA: the committed 550 x 300 bitmap's length and zlib stream, and no
# unpacked bitmap beside it), icon group 128 and the manifest 1.
set -euo pipefail
exe=$1
bmp=$2
python=$3
# objdump lists the resource tree with type entries indented by 3 spaces after the offset,
# name entries by 5 and the data leaves by 8; this keeps "type/name address size" per leaf
# (the address relative to the image base).
found=$(objdump -p "$exe" |
  sed -n 's/^[0-9a-f]*\( *\)\(Entry: ID: 0x\|Leaf: Addr: 0x\)\([0-9a-f]*\)\(, Size: 0x\)\{0,1\}\([0-9a-f]*\).*/\1|\3|\5/p' |
  while IFS='|' read -r depth value size; do
    case ${#depth} in
      3) type=$((16#$value)) ;;
      5) name=$((16#$value)) ;;
      8) echo "$type/$name $((16#$value)) $((16#$size))" ;;
    esac
  done) || true
status=0
for want in 5/138 10/131 14/128 24/1; do
  grep -q "^$want " <<<"$found" || { echo "FAIL: $exe has no resource type/id $want" >&2; status=1; }
done
if grep -q "^2/131 " <<<"$found"; then
  echo "FAIL: $exe still carries the splash picture unpacked (bitmap 131)" >&2
  status=1
fi
# The packed picture's bytes, from the file offset of its address in the resource section.
read -r _ address size < <(grep "^10/131 " <<<"$found") || true
image_base=$((16#$(objdump -p "$exe" | sed -n 's/^ImageBase[[:space:]]*//p')))
read -r section_address section_offset < <(objdump -h "$exe" | awk '$2 == ".rsrc" { print $4, $6 }') || true
if [ -n "${address:-}" ] && [ -n "${section_address:-}" ]; then
  offset=$((address + image_base - 16#$section_address + 16#$section_offset))
  "$python" - "$exe" "$offset" "$size" "$bmp" <<'PY' || status=1
import struct, sys, zlib
exe, offset, size, bmp = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
with open(exe, "rb") as f:
    f.seek(offset)
    packed = f.read(size)
with open(bmp, "rb") as f:
    picture = f.read()
length, = struct.unpack("<I", packed[:4])
try:
    unpacked = zlib.decompress(packed[4:])
except zlib.error as e:
    unpacked = str(e)
if length != len(picture) or unpacked != picture:
    sys.exit(f"FAIL: resource 10/131 ({size} bytes) does not unpack to the {len(picture)} bytes of {bmp}")
PY
fi
echo "$exe resources (type/id address bytes):" $found
exit $status
