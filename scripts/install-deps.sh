#!/usr/bin/env bash
# Installs every Debian package that building, running, testing and benchmarking Vorn need.
# Idempotent: apt is only touched when a package is missing.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libx11-dev librtaudio-dev libpulse-dev
    libsndfile1-dev libcli11-dev
    # run (vorn-render's figures name DejaVu Sans)
    qt6-qpa-plugins qt6-translations-l10n libqt6svg6 fonts-noto-cjk fonts-dejavu-core
    libasound2-plugins qt6-wayland
    # test and bench
    libbenchmark-dev
    xvfb xdotool imagemagick poppler-utils
    # a private session bus with the accessibility bus on it (never dbus-x11: PulseAudio would
    # then start a session bus of its own that outlives the test's X server)
    dbus dbus-bin at-spi2-core
    pulseaudio pulseaudio-utils alsa-utils
    # a private PipeWire server for the sound tests (never pipewire-alsa: it would take over the
    # machine's ALSA default)
    pipewire pipewire-pulse wireplumber pipewire-bin
    # Python's wave module reads a WAV stream from a pipe in the renderer's test
    python3
    # make lint
    clang-format clang-tidy
    # make fuzz: clang with libFuzzer and the sanitizers' runtime, and the symbolizer for reports
    clang libclang-rt-14-dev llvm
    # make package and its test
    dpkg-dev lintian desktop-file-utils appstream man-db bsdextrautils x11-utils libxml2-utils
    # a headless Wayland compositor for starting the packaged program without an X server
    weston
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
