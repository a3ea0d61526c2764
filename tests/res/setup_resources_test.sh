#!/usr/bin/env bash
# A Windows Setup program carries its resources: the splash window template 138, the splash
# bitmap 131 (the committed 550 x 300 picture), icon group 128 and the manifest 1.
set -euo pipefail
exe=$1
bmp=$2
# objdump lists the resource tree with type entries indented by 3 spaces after the offset,
# name entries by 5 and the data leaves by 8; this keeps "type/name size" per leaf.
found=$(objdump -p "$exe" | sed -n 's/^[0-9a-f]*\( *\)\(Entry: ID: 0x\|Leaf: .*Size: 0x\)\([0-9a-f]*\),.*/\1|\3/p' |
  while IFS='|' read -r depth value; do
    case ${#depth} in
      3) type=$((16#$value)) ;;
      5) name=$((16#$value)) ;;
      8) echo "$type/$name $((16#$value))" ;;
    esac
  done) || true
status=0
for want in 5/138 2/131 14/128 24/1; do
  grep -q "^$want " <<<"$found" || { echo "FAIL: $exe has no resource type/id $want" >&2; status=1; }
done
# A bitmap resource is the file without its 14-byte file header.
want_size=$(($(stat -c %s "$bmp") - 14))
grep -qx "2/131 $want_size" <<<"$found" || { echo "FAIL: bitmap 131 is not the $want_size bytes of $bmp" >&2; status=1; }
echo "$exe resources (type/id bytes):" $found
exit $status
