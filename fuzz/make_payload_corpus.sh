#!/usr/bin/env bash
# Writes the seed corpus of payload_fuzz with sfxpack: a small tree (text, random bytes, an
# empty file, an empty folder) packed plain, stored, without check values, in many chunks and
# encrypted with each key size under the password the harness tries ("fuzz"); then, with one
# more file that spans blocks of the smallest size, as solid zstd and xz blocks.
# usage: fuzz/make_payload_corpus.sh SFXPACK
set -euo pipefail
sfxpack=$1
out=$(cd "$(dirname "$0")" && pwd)/corpus/payload_fuzz
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/sub/empty" "$out"
printf 'hello hello hello hello\n' >"$tree/src/a.txt"
/usr/bin/python3 -c "import random,sys; sys.stdout.buffer.write(random.Random(3).randbytes(700))" >"$tree/src/sub/b.bin"
: >"$tree/src/sub/zero"
/usr/bin/python3 -c "print('abc' * 300, end='')" >"$tree/src/sub/c.txt"
pack() { "$sfxpack" build --payload-only -o "$out/$1" "${@:2}" "$tree/src" >/dev/null; }
pack plain.bin
pack stored.bin --level 0
pack nocheck.bin --no-check
pack chunks.bin --chunk-size 200
for bits in 128 192 256; do pack "aes$bits.bin" --password fuzz --encryption classic --key-bits "$bits" --chunk-size 500; done
/usr/bin/python3 -c "print('spans blocks ' * 800, end='')" >"$tree/src/sub/d.txt"
pack solid_zstd.bin --codec zstd --block-size 4096
pack solid_xz.bin --codec xz --block-size 4096
pack solid_aes.bin --codec zstd --block-size 4096 --password fuzz --encryption classic
