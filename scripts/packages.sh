# Debian 12 packages the project needs, in one place.
# BUILD_PACKAGES: to build and run the program. TEST_PACKAGES: extra for the test run.
BUILD_PACKAGES="build-essential cmake ninja-build pkg-config ccache help2man
  qt6-base-dev qt6-multimedia-dev libqt6multimedia6 libgl-dev
  libmpg123-dev libcue-dev libmp3lame-dev libebur128-dev zlib1g-dev
  fonts-liberation fonts-dejavu-core fonts-wine"
TEST_PACKAGES="googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  pulseaudio pulseaudio-utils
  python3 python3-mutagen eyed3 id3v2 libtag1-dev
  lame sox ffmpeg mpg123 mp3splt desktop-file-utils xvfb xdotool x11-utils xauth imagemagick lintian time
  mp3gain loudgain mp3wrap appstream"
