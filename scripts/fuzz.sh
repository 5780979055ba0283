#!/usr/bin/env bash
# Builds the libFuzzer targets of the decoders and the engine with clang into build-fuzz/ and runs each
# briefly from the seed replies. A crash, sanitizer report, failed check or slow input
# fails the command; a machine without clang's libFuzzer skips with a message.
# FUZZ_SECONDS (default 20) is the running time shared by all targets.
set -euo pipefail
cd "$(dirname "$0")/.."

# target:folder (its seeds are in tests/<folder>/fuzz/seeds)
targets=(fuzz_decode_field:decode fuzz_summary:decode fuzz_modern:decode fuzz_pop3_session:pop3 fuzz_imap_reader:imap fuzz_imap_session:imap)
seconds=${FUZZ_SECONDS:-20}
dir=build-fuzz

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found, fuzz targets skipped"
  exit 0
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! clang++ -fsanitize=fuzzer,address "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1; then
  echo "fuzz: clang++ has no libFuzzer (package libclang-rt-14-dev), fuzz targets skipped"
  exit 0
fi

CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUM_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,fuzzer-no-link -fno-omit-frame-pointer" >/dev/null
cmake --build "$dir" --target "${targets[@]%%:*}"

per=$(( seconds / ${#targets[@]} ))
((per > 0)) || per=1
for entry in "${targets[@]}"; do
  t=${entry%%:*}
  folder=${entry#*:}
  corpus="$dir/corpus/$t"
  mkdir -p "$corpus" "$dir/artifacts"
  echo "fuzz: $t for ${per}s"
  # -timeout: one input taking seconds means a loop that is not linear.
  if ! "$dir/tests/$folder/fuzz/$t" -max_total_time="$per" -timeout=10 -max_len=65536 \
       -artifact_prefix="$dir/artifacts/$t-" -print_final_stats=0 \
       "$corpus" "tests/$folder/fuzz/seeds" >"$dir/$t.log" 2>&1; then
    tail -n 40 "$dir/$t.log"
    echo "fuzz: $t FAILED; the input is in $dir/artifacts/"
    exit 1
  fi
  tail -n 1 "$dir/$t.log"
done
echo "fuzz: all targets ran clean"
