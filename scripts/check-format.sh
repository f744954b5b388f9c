#!/usr/bin/env bash
# Checks that every C++ file of the project is formatted as .clang-format says (clang-format 14).
# Fix with: git ls-files src tests tools bench fuzz | grep -E '\.(cpp|h)$' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/install-deps.sh --test)" >&2; exit 1; }
git ls-files -z src tests tools bench fuzz | grep -zE '\.(cpp|h|hpp|cc)$' | xargs -0 clang-format --dry-run --Werror
echo "formatting: all files as .clang-format says"
