#!/usr/bin/env bash
# Key pair and signed manifest for the start-up update check.
#
#   sign-release.sh keygen KEY.pem           make a new Ed25519 private key (mode 600)
#                                            and print its public key
#   sign-release.sh pubkey KEY.pem           print the public key: 64 hex digits,
#                                            the value for -DDEXMIRA_UPDATE_PUBKEY
#   sign-release.sh sign KEY.pem FOLDER [FILE...]
#                                            write FOLDER/update-manifest.txt and
#                                            FOLDER/update-manifest.txt.sig
#
# FOLDER holds what the server publishes at the update base URL: the version
# file DaroRerirodArodoruV1_lastver.txt and the programs (by default
# DaroRerirodArodoruV1.exe and filechanger.exe). The manifest gets the version
# file's number and the SHA-256 of each program; the signature is the raw
# 64-byte Ed25519 signature of the manifest's bytes.
#
# Needs openssl 3 (Debian package openssl) and coreutils.
set -euo pipefail

readonly VERSION_FILE=DaroRerirodArodoruV1_lastver.txt
readonly DEFAULT_FILES=(DaroRerirodArodoruV1.exe filechanger.exe)
# DER SubjectPublicKeyInfo of an Ed25519 key: this prefix, then the 32 key bytes.
readonly ED25519_SPKI_PREFIX=302a300506032b6570032100

usage() {
  sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

die() {
  echo "sign-release.sh: $*" >&2
  exit 1
}

command -v openssl >/dev/null || die "openssl is not installed (apt-get install openssl)"

public_key_hex() {
  local der
  der=$(openssl pkey -in "$1" -pubout -outform DER | od -An -v -tx1 | tr -d ' \n')
  [ "${#der}" -eq 88 ] && [ "${der:0:24}" = "$ED25519_SPKI_PREFIX" ] ||
    die "$1 is not an Ed25519 private key"
  echo "${der:24}"
}

cmd_keygen() {
  local key=$1
  [ -e "$key" ] && die "$key exists; not overwriting a key"
  (umask 077 && openssl genpkey -algorithm ed25519 -out "$key")
  echo "Private key: $key (keep it off the update server and out of the repository)" >&2
  public_key_hex "$key"
}

cmd_sign() {
  local key=$1 folder=$2
  shift 2
  local files=("$@")
  [ ${#files[@]} -eq 0 ] && files=("${DEFAULT_FILES[@]}")
  public_key_hex "$key" >/dev/null

  # The launcher reads the first 20 bytes of the version file and skips
  # blanks, tabs and line ends.
  [ -f "$folder/$VERSION_FILE" ] || die "$folder/$VERSION_FILE is missing"
  local version
  version=$(head -c 20 "$folder/$VERSION_FILE" | tr -d ' \t\r\n')
  [ -n "$version" ] || die "$folder/$VERSION_FILE is blank"

  local manifest="$folder/update-manifest.txt" tmp
  tmp=$(mktemp "$folder/.update-manifest.XXXXXX")
  trap "rm -f $(printf '%q %q' "$tmp" "$tmp.sig")" EXIT
  {
    echo "# Dexmira update manifest, signed by scripts/sign-release.sh"
    echo "version $version"
    local name hash
    for name in "${files[@]}"; do
      case "$name" in */* | *' '* | '') die "file names are plain names in FOLDER: '$name'" ;; esac
      [ -f "$folder/$name" ] || die "$folder/$name is missing"
      hash=$(sha256sum <"$folder/$name" | cut -c1-64)
      echo "sha256 $hash $name"
    done
  } >"$tmp"

  openssl pkeyutl -sign -inkey "$key" -rawin -in "$tmp" -out "$tmp.sig"
  [ "$(stat -c %s "$tmp.sig")" -eq 64 ] || die "openssl did not write a 64-byte Ed25519 signature"
  openssl pkeyutl -verify -inkey "$key" -rawin -in "$tmp" -sigfile "$tmp.sig" >/dev/null ||
    die "the new signature does not verify"
  chmod 644 "$tmp" "$tmp.sig"
  mv "$tmp" "$manifest"
  mv "$tmp.sig" "$manifest.sig"
  trap - EXIT
  echo "Signed $manifest (version $version, ${#files[@]} files) with key $(public_key_hex "$key")" >&2
}

[ $# -ge 1 ] || usage
case "$1" in
  keygen) [ $# -eq 2 ] || usage; cmd_keygen "$2" ;;
  pubkey) [ $# -eq 2 ] || usage; public_key_hex "$2" ;;
  sign) [ $# -ge 3 ] || usage; shift; cmd_sign "$@" ;;
  *) usage ;;
esac
