#!/usr/bin/env bash
# Prints the home of a Java 25 runtime for the real-JVM suites, or nothing:
# TARVIK_TEST_JAVA25_HOME when set, else the first folder below /usr/lib/jvm
# whose `release` file says JAVA_VERSION="25...". A link to another home is
# skipped, so no runtime is counted twice.
set -u
if [ -n "${TARVIK_TEST_JAVA25_HOME:-}" ]; then
  if [ -x "$TARVIK_TEST_JAVA25_HOME/bin/java" ]; then
    printf '%s\n' "$TARVIK_TEST_JAVA25_HOME"
  else
    echo "TARVIK_TEST_JAVA25_HOME=$TARVIK_TEST_JAVA25_HOME holds no bin/java" >&2
  fi
  exit 0
fi
for release in "${TARVIK_JVM_FOLDER:-/usr/lib/jvm}"/*/release; do
  home=${release%/release}
  [ -L "$home" ] && continue
  if grep -qE '^JAVA_VERSION="25([."]|$)' "$release" 2>/dev/null && [ -x "$home/bin/java" ]; then
    printf '%s\n' "$home"
    exit 0
  fi
done
exit 0
