#!/usr/bin/env bash
# Starts Orvane the way the README tells a user to, from a clean clone of the
# current branch, under a virtual 1920x1080 screen with the CJK font: once
# with "language" = ZH and once with EN. Each time it waits for the window,
# takes a screenshot of it, lets the program close its window (the test-only
# variable ORVANE_SMOKE_CLOSE_MS) and checks that the run command ended with 0.
#
#   bash tests/mainwindow/run_smoke.sh [out-dir]      (default docs/screenshots)
#
# Needs xvfb-run and ImageMagick (scripts/deps.sh installs both). The first
# pass builds the clone in Release, which takes a while.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(realpath -m "${1:-$root/docs/screenshots}")"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

branch="$(git -C "$root" rev-parse --abbrev-ref HEAD)"
git clone -q --branch "$branch" "$root" "$tmp/orvane"
echo "smoke: clean clone of $branch at $(git -C "$tmp/orvane" rev-parse --short HEAD)"

fail=0
for lang in ZH EN; do
  home="$tmp/home-$lang"
  mkdir -p "$home/setting"
  printf '[General]\nlanguage=%s\n' "$lang" > "$home/setting/sys.ini"
  shot="$out/main-$(echo "$lang" | tr 'A-Z' 'a-z').png"
  # Inside the virtual screen: the run command in the background, the
  # screenshot once the program runs, then the run command's exit code.
  ORVANE_HOME="$home" ORVANE_SMOKE_CLOSE_MS=6000 ORVANE_JOBS="${ORVANE_JOBS:-3}" \
  xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
    log="$1/run.log"
    bash "$2/scripts/run.sh" > "$log" 2>&1 &
    pid=$!
    for i in $(seq 1 3600); do
      grep -q "run.sh: working folder" "$log" && break
      kill -0 $pid 2>/dev/null || break
      sleep 1
    done
    sleep 3
    import -window root "$1/screen.png"
    rc=0
    wait $pid || rc=$?
    echo $rc > "$1/rc"
  ' smoke "$home" "$tmp/orvane"
  rc="$(cat "$home/rc" 2>/dev/null || echo missing)"
  echo "smoke $lang: run.sh exit code $rc"
  sed -n '/run.sh:/p' "$home/run.log"
  [ "$rc" = 0 ] || fail=1
  # The window sits at a quarter of the screen, half its size.
  convert "$home/screen.png" -crop 960x540+480+270 +repage -colors 256 "PNG8:$shot"
  echo "smoke $lang: $shot"
  for f in setting/sys.ini log/kem.log lanague_cn.qm lanague_en.qm; do
    [ -e "$home/$f" ] || { echo "smoke $lang: $f missing in the working folder"; fail=1; }
  done
  [ -d "$home/cache" ] || { echo "smoke $lang: cache/ missing"; fail=1; }
  if grep -q "语言切换失败" "$home/log/kem.log"; then echo "smoke $lang: translation not loaded"; fail=1; fi
done
# Nothing of the run landed in the clone's source tree.
left="$(git -C "$tmp/orvane" status --porcelain --ignored | grep -v '^!! build-release/$' || true)"
if [ -n "$left" ]; then echo "smoke: files left in the source tree:"; echo "$left"; fail=1; fi
exit $fail
