#!/usr/bin/env bash
# Tries the Debian packages in build/packages/ (scripts/package.sh) on a clean Debian 12 system: a
# minimal bookworm made by debootstrap (kept in build/clean-system/ for the next run) and entered
# with chroot, so nothing the build installed is there. In it: installs both packages with
# apt-get, runs tallyvane-cli from /usr/bin as a new user with an empty home folder, starts
# tallyvane from its desktop entry's Exec line under Xvfb, removes both packages and checks that
# no file of theirs is left. Needs root; scripts/install-deps.sh package installs debootstrap.
set -euo pipefail

mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
security_mirror=${DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
user=newuser
home=/home/$user

step() { printf '\n== %s\n' "$*"; }
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# Runs a command with its output kept aside, shown only when it fails.
quietly() {
  "$@" >/tmp/step.log 2>&1 || {
    cat /tmp/step.log
    fail "$*"
  }
}

# The steps inside the clean system, as root there.
inside() {
  export DEBIAN_FRONTEND=noninteractive
  step "Installing both packages"
  quietly apt-get update
  local before
  before=$(dpkg-query -W | wc -l)
  # No recommended packages: the packages' own dependencies must be enough.
  quietly apt-get install -y --no-install-recommends /tmp/debs/tallyvane-cli_*.deb /tmp/debs/tallyvane_*.deb
  dpkg-query -W -f '${Package} ${Version} ${db:Status-Status}\n' tallyvane-cli tallyvane
  echo "with $(($(dpkg-query -W | wc -l) - before - 2)) packages they depend on"
  dpkg -L tallyvane-cli tallyvane | sort -u >/tmp/installed-paths

  useradd --home-dir "$home" --shell /bin/bash "$user"
  mkdir -m 0700 "$home" && chown "$user:" "$home"
  as_user() { runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin "$@"; }

  step "tallyvane-cli --version (from $(command -v tallyvane-cli), HOME an empty folder)"
  [ -z "$(ls -A "$home")" ] || fail "$home is not empty"
  as_user tallyvane-cli --version
  echo "(and with HOME set but empty:)"
  runuser -u "$user" -- env -i HOME= PATH=/usr/bin:/bin tallyvane-cli --version

  step "tallyvane-cli demo"
  as_user tallyvane-cli demo || fail "tallyvane-cli demo exited with $?"
  [ -f "$home/.config/Tallyvane/settings.prefs" ] || fail "no settings file in $home/.config/Tallyvane"
  echo "Settings file made: $home/.config/Tallyvane/settings.prefs"

  step "Starting tallyvane from its desktop entry under Xvfb"
  quietly apt-get install -y --no-install-recommends xvfb xauth x11-utils x11-apps netpbm
  local entry command
  entry=$(dpkg -L tallyvane | grep '^/usr/share/applications/.*\.desktop$')
  # The Exec line without its field codes (%f, %U, ...), as a menu runs it.
  command=$(sed -n 's/^Exec=//p' "$entry" | sed 's/ *%[a-zA-Z]//g')
  echo "$entry: Exec=$command"
  as_user xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
    bash -c "$(declare -f start_from_menu); start_from_menu '$command'"

  step "Removing both packages"
  quietly apt-get remove -y tallyvane tallyvane-cli
  dpkg-query -W -f '${Package} ${db:Status-Status}\n' tallyvane-cli tallyvane 2>&1 || true
  local left=0
  while read -r path; do
    if [ -e "$path" ] && [ ! -d "$path" ]; then
      echo "left behind: $path"
      left=1
    fi
  done </tmp/installed-paths
  # Anything else named after us, outside home folders and this script's own files.
  find / -xdev -iname '*tallyvane*' -not -path '/home/*' -not -path '/root/*' -not -path '/tmp/*' \
    >/tmp/named-after-us
  if [ -s /tmp/named-after-us ]; then
    sed 's/^/left behind: /' /tmp/named-after-us
    left=1
  fi
  [ "$left" -eq 0 ] || fail "files of the packages are left after apt-get remove"
  echo "No file of tallyvane or tallyvane-cli is left ($(grep -c . /tmp/installed-paths) paths were installed)."
}

# Under the virtual display: runs the Exec line and waits for the main window, then screenshots it.
start_from_menu() {
  bash -c "$1" >/tmp/tallyvane.log 2>&1 &
  local program=$! deadline=$((SECONDS + 60))
  until xwininfo -root -tree | grep -q '"Tallyvane'; do
    kill -0 "$program" 2>/dev/null || {
      cat /tmp/tallyvane.log
      echo "FAILED: tallyvane ended before its window opened" >&2
      exit 1
    }
    [ "$SECONDS" -lt "$deadline" ] || {
      echo "FAILED: no Tallyvane window within 60 s" >&2
      exit 1
    }
    sleep 0.2
  done
  xwininfo -root -tree | grep '"Tallyvane' | sed 's/^ */window: /'
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >/tmp/desktop-entry-start.png
  kill "$program"
  wait "$program" || true
  cat /tmp/tallyvane.log
}

if [ "${1:-}" = --inside ]; then
  inside
  exit 0
fi

cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot)"
packages=(build/packages/tallyvane-cli_*.deb build/packages/tallyvane_*.deb)
for package in "${packages[@]}"; do
  [ -f "$package" ] || fail "no $package: run scripts/package.sh first"
done
command -v debootstrap >/dev/null || fail "no debootstrap: run scripts/install-deps.sh package"

base=build/clean-system/bookworm-minbase.tar
if [ ! -f "$base" ]; then
  step "Making a minimal Debian 12 with debootstrap (kept in $base)"
  staging=$(mktemp -d /var/tmp/tallyvane-base.XXXXXX)
  debootstrap --variant=minbase bookworm "$staging" "$mirror" >/dev/null
  mkdir -p "$(dirname "$base")"
  tar -C "$staging" -cf "$base.partial" . && mv "$base.partial" "$base"
  rm -rf --one-file-system "$staging"
fi

root=$(mktemp -d /var/tmp/tallyvane-try.XXXXXX)
cleanup() {
  for mount in "$root/dev/pts" "$root/proc"; do
    if mountpoint -q "$mount"; then umount "$mount"; fi
  done
  # --one-file-system: never into a mount that is still there.
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
tar -C "$root" -xf "$base"
chmod 0755 "$root" # the system's root folder (tar gave it mktemp's mode): every user passes it
mount -t proc proc "$root/proc"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts" # apt's terminal log
cp /etc/resolv.conf "$root/etc/resolv.conf"
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security_mirror bookworm-security main
EOF
mkdir "$root/tmp/debs"
cp "${packages[@]}" "$root/tmp/debs/"
cp "$0" "$root/tmp/try-packages.sh"
echo "Clean system in $root; packages: ${packages[*]##*/}"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash /tmp/try-packages.sh --inside
cp "$root/tmp/desktop-entry-start.png" build/clean-system/
echo
echo "Screen after starting tallyvane from its menu entry: build/clean-system/desktop-entry-start.png"
