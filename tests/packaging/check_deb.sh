#!/usr/bin/env bash
# usage: check_deb.sh <cpack> <build dir> <source dir> <project version>   (run under with-xvfb.sh)
# Builds the Debian package from the build tree with CPack, checks its control fields and
# contents, validates the desktop entry, the AppStream metadata and the manual pages, unpacks it
# with dpkg -x into a private root and runs the unpacked programs from there: vorn-render renders,
# vorn shows its window "Vorn - Vorn1" with Qt's Japanese translation and the SVG icon engine of
# the system, under this X server and under a headless Wayland compositor without one. Last,
# lintian. vorn-listen answers --help and --version and refuses bad input.
set -u
cpack=$1 build=$2 source=$3 version=$4
work=$(mktemp -d)
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pid="" weston_pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
die() {
    echo "FAIL: $*" >&2
    exit 1
}

# --- Build the package from this tree.
"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; die "cpack failed"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || die "cpack made ${#debs[@]} packages: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# --- Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
arch=$(dpkg --print-architecture)
deb_version=$(field Version)
[[ $deb_version == "$version-"* ]] || fail "Version '$deb_version' is not $version with a revision"
[ "$(basename "$deb")" = "vorn_${deb_version}_${arch}.deb" ] || fail "file name $(basename "$deb")"
[ "$(field Package)" = vorn ] || fail "Package '$(field Package)'"
[ "$(field Section)" = sound ] || fail "Section '$(field Section)'"
[ "$(field Priority)" = optional ] || fail "Priority '$(field Priority)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture '$(field Architecture)'"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer '$(field Maintainer)'"
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"
# The names of a relation field, one a line, without versions and alternatives.
relation_names() { field "$1" | tr ',|' '\n\n' | sed -e 's/(.*)//' -e 's/[[:space:]]//g' | sed '/^$/d'; }
depends=$(relation_names Depends)
echo "Depends: $(field Depends)"
# Linked (found by dpkg-shlibdeps) and loaded without linking (the translation, the ALSA plug-in,
# Qt's Wayland platform plug-in, the font that vorn-render's figures name).
for name in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6svg6 \
    librtaudio6 libx11-6 libsndfile1 qt6-translations-l10n libasound2-plugins qt6-wayland \
    fonts-dejavu-core; do
    grep -qx "$name" <<<"$depends" || fail "Depends lacks $name"
done
grep -qx fonts-noto-cjk <<<"$(relation_names Recommends)" || fail "Recommends lacks fonts-noto-cjk"
# Every dependency is a package this machine knows and has installed.
for name in $depends; do
    [ "$(dpkg-query -W -f '${db:Status-Status}' "$name" 2>/dev/null)" = installed ] \
        || fail "dependency $name is not an installed package here"
done
dupes=$(sort <<<"$depends" | uniq -d)
[ -z "$dupes" ] || fail "Depends names a package twice: $dupes"

# --- Contents: the files, their owners and modes.
dpkg-deb -c "$deb" >"$work/contents" || die "dpkg-deb -c failed"
expected=(
    usr/bin/vorn
    usr/bin/vorn-render
    usr/bin/vorn-listen
    usr/share/applications/Vorn.AppID.NoVersion.desktop
    usr/share/icons/hicolor/scalable/apps/vorn.svg
    usr/share/metainfo/Vorn.AppID.NoVersion.metainfo.xml
    usr/share/man/man1/vorn.1.gz
    usr/share/man/man1/vorn-render.1.gz
    usr/share/man/man1/vorn-listen.1.gz
    usr/share/bash-completion/completions/vorn-render
    usr/share/bash-completion/completions/vorn-listen
    usr/share/doc/vorn/copyright
    usr/share/doc/vorn/changelog.Debian.gz
    usr/share/vorn/screenshots/vorn-frequency-response.png
    usr/share/vorn/screenshots/vorn-time-response.png
)
sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/vorn.png")
done
for path in "${expected[@]}"; do
    grep -q " \./$path\$" "$work/contents" || fail "the package lacks /$path"
done
while read -r mode owner _ _ _ path _; do
    [ "$owner" = root/root ] || fail "$path is owned by $owner"
    case $path in
    ./ | ./usr/ | ./usr/bin/* | ./usr/share/*) ;;
    *) fail "$path lies outside /usr/bin and /usr/share" ;;
    esac
    case $mode in
    d*) [ "$mode" = drwxr-xr-x ] || fail "$path has mode $mode" ;;
    *)
        case $path in
        ./usr/bin/*) want=-rwxr-xr-x ;;
        *) want=-rw-r--r-- ;;
        esac
        [ "$mode" = "$want" ] || fail "$path has mode $mode, not $want"
        ;;
    esac
done <"$work/contents"

# --- Unpacked: the files themselves.
root=$work/root
dpkg -x "$deb" "$root" || die "dpkg -x failed"
for program in vorn vorn-render vorn-listen; do
    binary=$root/usr/bin/$program
    readelf -S "$binary" | grep -q '\.symtab' && fail "$program is not stripped"
    readelf -d "$binary" | grep -qE 'RPATH|RUNPATH' && fail "$program carries a library search path"
    # Built with Debian's hardening flags: position-independent, relocations resolved at start and
    # then read-only (relro, bindnow), the stack protector and fortified libc calls; and without
    # the compilers' version strings.
    dynamic=$(readelf -dW "$binary")
    grep -qE '\(FLAGS_1\).* PIE' <<<"$dynamic" || fail "$program is not position-independent"
    grep -qE '\(FLAGS\).* BIND_NOW|\(FLAGS_1\).* NOW' <<<"$dynamic" || fail "$program lacks bindnow"
    readelf -lW "$binary" | grep -q GNU_RELRO || fail "$program lacks relro"
    symbols=$(readelf --dyn-syms -W "$binary")
    grep -q ' __stack_chk_fail@' <<<"$symbols" || fail "$program has no stack protector"
    grep -qE ' __[a-z0-9_]+_chk@' <<<"$symbols" || fail "$program calls no fortified functions"
    readelf -SW "$binary" | grep -qF ' .comment ' && fail "$program has a .comment section"
done
if grep -rlF -e "$build" -e "$source" "$root" >"$work/refs"; then
    fail "files refer to the build or source tree: $(tr '\n' ' ' <"$work/refs")"
fi
for size in "${sizes[@]}"; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/vorn.png
    [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x${size}" ] \
        || fail "$png is not ${size}x${size}"
done

desktop=$root/usr/share/applications/Vorn.AppID.NoVersion.desktop
desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 || fail "desktop-file-validate failed"
grep -E ': (error|warning):' "$work/desktop.log" && fail "desktop-file-validate complains"
desktop_key() { sed -n "s/^$1=//p" "$desktop"; }
# One main category of the freedesktop.org registered list, Education: a program for learning how a filter
# sounds and looks; the rest are additional ones.
categories=$(desktop_key Categories)
main=$(tr ';' '\n' <<<"$categories" | grep -xE \
    'AudioVideo|Audio|Video|Development|Education|Game|Graphics|Network|Office|Science|Settings|System|Utility')
[ "$main" = Education ] || fail "the main categories are '$(echo $main)', not Education alone"
[ -n "$(desktop_key 'Name\[ja\]')" ] || fail "the desktop entry has no Name[ja]"
exec_program=$(desktop_key Exec | cut -d' ' -f1)
[ -x "$root/usr/bin/$exec_program" ] || fail "Exec names '$exec_program', not an installed program"
icon=$(desktop_key Icon)
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon '$icon' has no SVG"
for size in "${sizes[@]}"; do
    [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] \
        || fail "Icon '$icon' has no ${size}x${size} PNG"
done

metainfo=$root/usr/share/metainfo/Vorn.AppID.NoVersion.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 \
    || { cat "$work/appstream.log" >&2; fail "appstreamcli validate failed"; }
grep -q '<launchable type="desktop-id">Vorn.AppID.NoVersion.desktop</launchable>' "$metainfo" \
    || fail "the metadata does not launch the desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata has no release $version"
xpath() { xmllint --xpath "$1" "$metainfo" 2>/dev/null; }
# The same categories as the desktop entry; the name, the summary and every paragraph and item of
# the description in Japanese too; a homepage.
[ "$(xpath '//category/text()' | tr '\n' ';')" = "$categories" ] \
    || fail "the metadata's categories differ from the desktop entry's '$categories'"
for element in name summary description/p description/ul/li; do
    all=$(xpath "count(/component/$element)") ja=$(xpath "count(/component/$element[@xml:lang='ja'])")
    [ "$ja" -ge 1 ] && [ $((all - ja)) -eq "$ja" ] \
        || fail "the metadata has $((all - ja)) $element but $ja in Japanese"
done
homepage=$(xpath "string(//url[@type='homepage'])")
[[ $homepage == https://*/ ]] || fail "the metadata's homepage is '$homepage'"
# The screenshots: each one shipped in /usr/share/vorn/screenshots under its URL's name, with the
# size the metadata gives, the first the default; all of them the same files as the README's in
# docs/screenshots (`make screenshots` renews those).
shots=$root/usr/share/vorn/screenshots
count=$(xpath 'count(//screenshots/screenshot)')
[ "$count" -ge 1 ] || fail "the metadata has no screenshots"
[ "$(xpath 'string(//screenshots/screenshot[1]/@type)')" = default ] \
    || fail "the first screenshot is not the default"
[ "$(xpath "count(//screenshot[@type='default'])")" = 1 ] || fail "not exactly one default screenshot"
for i in $(seq 1 "$count"); do
    url=$(xpath "string(//screenshots/screenshot[$i]/image)")
    [[ $url == "${homepage}screenshots/"*.png ]] || fail "screenshot $i is at '$url'"
    png=$shots/$(basename "$url")
    image="//screenshots/screenshot[$i]/image"
    size=$(xpath "concat($image/@width, 'x', $image/@height)")
    [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "$size" ] \
        || fail "$(basename "$url") is not a $size PNG in the package"
    [ -n "$(xpath "string(//screenshots/screenshot[$i]/caption[@xml:lang='ja'])")" ] \
        || fail "screenshot $i has no Japanese caption"
done
[ "$(find "$shots" -type f | wc -l)" = "$count" ] \
    || fail "the package ships screenshots that the metadata does not show"
for png in "$shots"/*.png; do
    cmp -s "$png" "$source/docs/screenshots/$(basename "$png")" \
        || fail "$(basename "$png") differs from docs/screenshots/ (make screenshots)"
done
default_shot=$(basename "$(xpath 'string(//screenshot[@type="default"]/image)')")
grep -qF "](docs/screenshots/$default_shot)" "$source/README.md" \
    || fail "the README does not show docs/screenshots/$default_shot"

zcat "$root/usr/share/doc/vorn/changelog.Debian.gz" >"$work/changelog" || fail "changelog unreadable"
changelog_version=$(dpkg-parsechangelog -l "$work/changelog" -S Version 2>&1)
[ "$changelog_version" = "$deb_version" ] || fail "changelog version '$changelog_version'"
head -n1 "$root/usr/share/doc/vorn/copyright" \
    | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    || fail "copyright is not in the machine-readable format"

# Manual pages: the sections, no formatter warnings, vorn-render's page names every subcommand and
# option of its --help, and vorn-listen's every option of its own.
render_page() {
    LC_ALL=C.UTF-8 MANWIDTH=${2:-80} man --warnings -E UTF-8 -l "$1" 2>"$work/man.err" | col -b
    [ -s "$work/man.err" ] && fail "$(basename "$1"): $(head -n3 "$work/man.err")"
}
for page in vorn vorn-render vorn-listen; do
    render_page "$root/usr/share/man/man1/$page.1.gz" >"$work/$page.txt"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS'; do
        grep -qx "$section" "$work/$page.txt" || fail "$page.1 has no $section section"
    done
done
render_page "$root/usr/share/man/man1/vorn-render.1.gz" 1000 >"$work/vorn-render.wide"
# Under LC_ALL=C the formatter writes ASCII: the pages lose no word there (no warning, no '?'),
# and vorn(1) names the menu items and the settings key in romaji where UTF-8 shows them in
# Japanese, as the program does.
for page in vorn vorn-render vorn-listen; do
    LC_ALL=C MANWIDTH=1000 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" \
        2>"$work/man.err" | col -bx >"$work/$page.ascii"
    [ -s "$work/man.err" ] && fail "$page.1 under LC_ALL=C: $(head -n3 "$work/man.err")"
    LC_ALL=C grep -n -e '?' -e '[^ -~]' "$work/$page.ascii" >&2 \
        && fail "$page.1 under LC_ALL=C has characters it cannot show"
done
render_page "$root/usr/share/man/man1/vorn.1.gz" 1000 >"$work/vorn.wide"
while IFS='|' read -r english japanese romaji; do
    grep -qF "$english$japanese" "$work/vorn.wide" || fail "vorn.1 lacks '$english$japanese'"
    grep -qF "$english$romaji" "$work/vorn.ascii" || fail "vorn.1 under LC_ALL=C lacks '$english$romaji'"
done <<'EOF'
Run (|実行)|jikko)
Stop (|停止)|teishi)
Draw (|描画)|byoga)
Settings (|設定)|settei)
Frequency response (|Ｆ特)|F-toku)
 |アプリケーション ウィザードで生成されたローカル アプリケーション|apurikeshon wizado de seisei sareta rokaru apurikeshon
EOF
grep -qE 'lock-key panes .*stay blank' "$work/vorn.wide" \
    || fail "vorn.1 does not say that the lock-key panes stay blank under Wayland"
help=$(env -u QT_QPA_PLATFORM "$root/usr/bin/vorn-render" --help) || fail "vorn-render --help failed"
synopsis=$(sed -n '/^SYNOPSIS$/,/^DESCRIPTION$/p' "$work/vorn-render.wide")
options=$(sed -n '/^OPTIONS$/,/^EXIT STATUS$/p' "$work/vorn-render.wide")
subcommands=$(sed -n 's/^  vorn-render \([a-z][a-z-]*\).*/\1/p' <<<"$help" | sort -u)
[ -n "$subcommands" ] || fail "no subcommands found in --help"
for subcommand in $subcommands; do
    grep -qE "vorn-render $subcommand( |\$)" <<<"$synopsis" || fail "vorn-render.1 SYNOPSIS lacks $subcommand"
    grep -qE "^ +$subcommand( |\$)" "$work/vorn-render.wide" \
        || fail "vorn-render.1 DESCRIPTION lacks $subcommand"
done
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qE -- "^ +(-h, )?$option( |\$)" <<<"$options" || fail "vorn-render.1 OPTIONS lacks $option"
done

listen_help=$("$root/usr/bin/vorn-listen" --help) || fail "vorn-listen --help failed"
render_page "$root/usr/share/man/man1/vorn-listen.1.gz" 1000 >"$work/vorn-listen.wide"
listen_options=$(sed -n '/^OPTIONS$/,/^KEYS$/p' "$work/vorn-listen.wide")
[ -n "$listen_options" ] || fail "vorn-listen.1 has no OPTIONS before KEYS"
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$listen_help" | sort -u); do
    grep -qE -- "^ +(-h, )?$option( |\$)" <<<"$listen_options" || fail "vorn-listen.1 OPTIONS lacks $option"
done
for synopsis in 'vorn-listen [options] FILE|-' 'vorn-listen [options] --capture [SOURCE]'; do
    grep -qF -- "$synopsis" "$work/vorn-listen.wide" || fail "vorn-listen.1 SYNOPSIS lacks '$synopsis'"
done

# --- The unpacked listener, run from outside the tree, with no sound server: what it says
# before it plays.
listen() { "$root/usr/bin/vorn-listen" "$@"; }
[ "$(listen --version)" = "vorn-listen $version" ] || fail "vorn-listen --version: $(listen --version)"
refusal=$(listen --input sine --seed 2 2>&1 >/dev/null)
status=$?
[ $status -eq 2 ] && [ "$refusal" = "vorn-listen: --seed applies to --input noise and pink only" ] \
    || fail "vorn-listen refused --seed for a sine with status $status: '$refusal'"
missing=$(listen "$work/missing.wav" </dev/null 2>&1 >/dev/null)
status=$?
[ $status -eq 2 ] && [ "$(wc -l <<<"$missing")" -eq 1 ] \
    || fail "vorn-listen on a missing file: status $status, '$missing'"

# --- The unpacked renderer, run from outside the tree.
cd "$work" || die "cd failed"
render() { env -u QT_QPA_PLATFORM "$root/usr/bin/vorn-render" "$@"; }
[ "$(render --version)" = "vorn-render $version" ] || fail "vorn-render --version: $(render --version)"
step=$(render samples --input step | head -n 12 | tr '\n' ' ')
[ "$step" = "0 0 0 1 3 8 16 30 51 83 128 189 " ] || fail "step response starts '$step'"
render plot --mode freq --labels --output "$work/response.png" || fail "vorn-render plot failed"
colours=$(identify -format '%k' "$work/response.png" 2>/dev/null)
[ "${colours:-0}" -ge 8 ] || fail "the rendered plot has ${colours:-no} colours"
# A design, as the package's renderer computes it: a 4th-order Bessel's level at its corner.
corner=$(render response --type bessel --order 4 --format csv --at 1000 | sed -n 2p | cut -d, -f5)
[ "${corner%%.*}" = "-3" ] || fail "the 4th-order Bessel's analogue level at 1 kHz is '$corner'"
# The installed bash completion completes the renderer's commands.
completed=$(bash -c 'source "$1"; COMP_WORDS=(vorn-render coef); COMP_CWORD=1; _vorn_render;
    echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/vorn-render")
[ "$completed" = coefficients ] || fail "the bash completion of 'vorn-render coef' is '$completed'"

# --- The unpacked program under this private X server.
"$root/usr/bin/vorn" >"$work/vorn.log" 2>&1 &
pid=$!
win=""
for _ in $(seq 1 400); do
    win=$(xdotool search --onlyvisible --name '^Vorn - Vorn1$' 2>/dev/null | head -n1)
    [ -n "$win" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
if [ -z "$win" ]; then
    cat "$work/vorn.log" >&2
    die "the unpacked vorn showed no window 'Vorn - Vorn1'"
fi
sleep 0.5
# The desktop entry's StartupWMClass is the window's class, so the desktop groups the window
# under the entry.
wm_class=$(desktop_key StartupWMClass)
window_class=$(xprop -id "$win" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p')
[ "$window_class" = "$wm_class" ] \
    || fail "the window's class is '$window_class', the desktop entry's StartupWMClass '$wm_class'"
# What the program loaded comes from the system: Qt's Japanese translation, the SVG icon engine.
maps=$(cat "/proc/$pid/maps")
grep -q '/usr/share/qt6/translations/qtbase_ja\.qm' <<<"$maps" \
    || fail "the program did not load Qt's Japanese translation from the system"
grep -q 'plugins/iconengines/libqsvgicon\.so' <<<"$maps" || fail "the SVG icon engine is not loaded"
grep -F -e "$build" -e "$source" <<<"$maps" && fail "the program maps files of the build tree"
import -window root "$work/shot.png" 2>/dev/null || fail "screenshot failed"
eval "$(xdotool getwindowgeometry --shell "$win")"
colours=$(convert "$work/shot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -format '%k' info:)
[ "${colours:-0}" -ge 16 ] || fail "the window looks blank (${colours:-no} colours)"
kill "$pid"
wait "$pid" 2>/dev/null
pid=""

# --- The unpacked program in a Wayland session without an X server: a private weston with its
# headless back end, no DISPLAY, the platform left to Qt. What the program says to the compositor
# (WAYLAND_DEBUG) shows its window: a toplevel titled "Vorn - Vorn1" with the desktop entry's id
# as app id, whose surface gets a drawn buffer; and the program keeps running.
weston --backend=headless-backend.so --socket=vorn-test >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 1 400); do
    [ -S "$XDG_RUNTIME_DIR/vorn-test" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.05
done
[ -S "$XDG_RUNTIME_DIR/vorn-test" ] || { cat "$work/weston.log" >&2; die "weston did not start"; }
env -u DISPLAY -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=vorn-test \
    WAYLAND_DEBUG=client "$root/usr/bin/vorn" >"$work/wayland.log" 2>&1 &
pid=$!
# The toplevel titled $1, once a buffer has been attached to its surface.
drawn_toplevel() {
    local toplevel xdg_surface surface
    toplevel=$(sed -n "s/.* -> xdg_toplevel@\([0-9]*\)\.set_title(\"$1\")\$/\1/p" "$work/wayland.log" | head -n1)
    [ -n "$toplevel" ] || return 1
    xdg_surface=$(sed -n "s/.* -> xdg_surface@\([0-9]*\)\.get_toplevel(new id xdg_toplevel@$toplevel)\$/\1/p" \
        "$work/wayland.log" | head -n1)
    surface=$(sed -n "s/.*\.get_xdg_surface(new id xdg_surface@$xdg_surface, wl_surface@\([0-9]*\))\$/\1/p" \
        "$work/wayland.log" | head -n1)
    [ -n "$surface" ] && grep -q " -> wl_surface@$surface\.attach(wl_buffer@" "$work/wayland.log" || return 1
    echo "$toplevel"
}
toplevel=""
for _ in $(seq 1 400); do
    toplevel=$(drawn_toplevel 'Vorn - Vorn1') && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
if [ -z "$toplevel" ]; then
    grep -v '^\[' "$work/wayland.log" >&2
    fail "under Wayland the unpacked vorn drew no window 'Vorn - Vorn1'"
else
    app_id=$(sed -n "s/.* -> xdg_toplevel@$toplevel\.set_app_id(\"\(.*\)\")\$/\1/p" "$work/wayland.log")
    [ "$app_id.desktop" = "$(basename "$desktop")" ] \
        || fail "under Wayland the window's app id is '$app_id', not the desktop entry's id"
    grep -q '/plugins/platforms/libqwayland-generic\.so' "/proc/$pid/maps" \
        || fail "under Wayland the program did not load the system's Wayland platform plug-in"
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "under Wayland the unpacked vorn ended after showing its window"
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
pid=""
kill "$weston_pid"
wait "$weston_pid" 2>/dev/null
weston_pid=""

# --- lintian, pedantic and with its notes: nothing at all, except the warning about an upload
# to Debian's archive, which this package is not for.
lintian --pedantic --display-info --fail-on error,warning,info,pedantic \
    --suppress-tags initial-upload-closes-no-bugs "$deb" >"$work/lintian.log" 2>&1 \
    || { cat "$work/lintian.log" >&2; fail "lintian reports problems"; }
grep -E '^[EWIPX]: ' "$work/lintian.log" >&2

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "PASS: $(basename "$deb") ($(stat -c %s "$deb") bytes): control fields, contents, desktop entry, metadata, manual pages and lintian are clean; the unpacked vorn-render renders, vorn-listen answers and refuses, and vorn shows its window"
