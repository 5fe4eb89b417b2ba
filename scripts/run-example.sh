#!/usr/bin/env bash
# Builds the Linux launcher and starts the example application with it, as a
# user would install it: the launcher copied as build/example/hello beside
# hello.config, with the application's classes in build/example/classes.
# It may be started from any folder, and it ends with the application's exit
# code, so a failure is a failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

need=()
for p in cmake make g++ openjdk-17-jdk-headless; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

cmake -S . -B build-example -DTARVIK_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-example -j2 --target tarvik >/dev/null

app=build/example
rm -rf "$app" && mkdir -p "$app"
javac -d "$app/classes" examples/hello/Hello.java
cp build-example/tarvik "$app/hello"
cp examples/hello/hello.config "$app/"
echo "Starting $app/hello ..."
exec "$app/hello" -passExitCode "$@" "an argument from the command line"
