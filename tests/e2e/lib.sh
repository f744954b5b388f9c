# shellcheck shell=bash
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/session.sh"
