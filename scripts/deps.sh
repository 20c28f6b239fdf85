# Installs the Debian packages darulib needs to build, test and run, when any
# of them is missing. Sourced by scripts/test, scripts/demo and scripts/package.

DARU_PACKAGES=(
  cmake g++ make pkg-config
  libsqlite3-dev sqlite3
  libxml2-dev libxml2-utils libxslt1-dev
  libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libncurses-dev tmux
  unixodbc unixodbc-dev odbcinst libsqliteodbc odbc-postgresql postgresql libpq-dev
  libcurl4-openssl-dev zlib1g-dev dpkg-dev file ccache
  valgrind
  libgtk-3-dev libwebkit2gtk-4.1-dev fonts-noto-cjk xvfb xdotool imagemagick
)

# What scripts/package needs besides: the checker of the packages it builds.
DARU_PACKAGING_PACKAGES=(lintian)

# daru_install_deps [PACKAGE...]: the packages named, DARU_PACKAGES without.
daru_install_deps() {
  local wanted=("$@")
  if [ ${#wanted[@]} -eq 0 ]; then wanted=("${DARU_PACKAGES[@]}"); fi
  local missing=()
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Builds go through ccache: a second build of the same sources, in this
# checkout or another one on the machine, compiles only what changed. Paths
# below the checkout are hashed relative to it, so checkouts share the cache.
daru_use_compiler_cache() {
  command -v ccache >/dev/null 2>&1 || return 0
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
}
