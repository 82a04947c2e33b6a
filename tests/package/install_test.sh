#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR VERSION
# Installs the build into a temporary root, starts each desktop launcher's command offscreen and
# checks which window opened, validates launchers and AppStream data, tries the bash completion,
# and checks the Debian package's file list. Nothing here touches the network.
set -uo pipefail
build=$1
version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

DESTDIR=$root/stage cmake --install "$build" --prefix /usr >"$root/install.log" ||
    { cat "$root/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }
usr=$root/stage/usr

# Launcher -> the caption of the window its command must open (the update window names the
# firmware version the tool carries, not the tool's own version).
declare -A captions=(
    [update]="Aktualizacja NodaRix-a do wersji V4.1.3d"
    [resources]="Zasoby Nodarix-a"
    [settings]="Ustawienia nodarix-a"
    [xet16]="Ustawienia modułu rozszerzeń Xet16"
)
for name in "${!captions[@]}"; do
    desktop=$usr/share/applications/org.nodarix.tool.$name.desktop
    [[ -f $desktop ]] || { fail "no launcher $desktop"; continue; }
    desktop-file-validate "$desktop" || fail "$name launcher does not validate"
    grep -q '^Name=..*' "$desktop" && grep -q '^Comment=..*' "$desktop" || fail "$name launcher lacks Name or Comment"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -f $usr/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "$name launcher's icon $icon is not installed"
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    read -r -a command <<<"$exec_line"
    shown=$(PATH="$usr/bin:$PATH" QT_QPA_PLATFORM=offscreen NODARIX_PRINT_CAPTION=1 timeout 60 "${command[@]}" 2>"$root/$name.err")
    [[ $shown == "${captions[$name]}" ]] ||
        { fail "$name launcher ($exec_line) opened \"$shown\", not \"${captions[$name]}\""; cat "$root/$name.err" >&2; }
done
[[ $(sha1sum "$usr"/share/icons/hicolor/scalable/apps/*.svg | cut -d' ' -f1 | sort -u | wc -l) -eq 4 ]] ||
    fail "the four launchers' icons are not four different pictures"

appstreamcli validate --no-net "$usr/share/metainfo/org.nodarix.tool.metainfo.xml" >"$root/appstream.log" ||
    { cat "$root/appstream.log" >&2; fail "AppStream metadata does not validate"; }

for page in nodarix-cli nodarix-sim; do
    zcat "$usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q '^\.SH' || fail "manual page of $page is missing or empty"
done

# Completion: commands after the program name, options and sub-commands after a command.
complete_words() {
    PATH="$usr/bin:$PATH" bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _nodarix_cli; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$usr/share/bash-completion/completions/nodarix-cli" "$@"
}
complete_words nodarix-cli con | grep -qx config || fail "completion does not offer the config command"
complete_words nodarix-cli --host h xet | grep -qx xet16 || fail "completion does not skip global options"
complete_words nodarix-cli config di | grep -qx diff || fail "completion does not offer config diff"
complete_words nodarix-cli config diff --ed | grep -qx -- --edition || fail "completion does not offer --edition"

# The Debian package and its file list.
cpack -G DEB -B "$root/package" --config "$build/CPackConfig.cmake" >"$root/cpack.log" 2>&1 ||
    { cat "$root/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$(ls "$root"/package/nodarix_"$version"_*.deb 2>/dev/null | head -1)
[[ -n $deb ]] || { fail "no nodarix_${version}_*.deb"; exit 1; }
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in usr/bin/nodarix-tool usr/bin/nodarix-cli usr/bin/nodarix-sim \
    usr/share/applications/org.nodarix.tool.{update,resources,settings,xet16}.desktop \
    usr/share/icons/hicolor/scalable/apps/org.nodarix.tool.{update,resources,settings,xet16}.svg \
    usr/share/metainfo/org.nodarix.tool.metainfo.xml \
    usr/share/man/man1/nodarix-cli.1.gz usr/share/man/man1/nodarix-sim.1.gz \
    usr/share/bash-completion/completions/nodarix-cli \
    usr/share/nodarix/demo/demo-qpa.ndrx usr/share/doc/nodarix/README.md; do
    grep -qx "\./$path" <<<"$contents" || fail "the package lacks /$path"
done
dpkg-deb -f "$deb" Depends | grep -q libqt6 || fail "the package does not depend on the Qt libraries"

[[ $status -eq 0 ]] && echo "package_install: all checks passed ($(basename "$deb"))"
exit $status
