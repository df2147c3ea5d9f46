#!/usr/bin/env bash
# Keeps the platform seam to what the deliverables call. Fails, naming them:
#   1. when a function that a header of platform/ or framework/ declares is referenced nowhere but in
#      its own declaration or definition and in tests/ (library/, check/, tools/, framework/ and
#      platform/ are the callers; bench/ and fuzz/ are not);
#   2. when a file above the platform that includes only platform/win32api.h sees the system's socket
#      headers: a POSIX socket call written there would compile on Linux and fail only on Windows.
#
# How the first check reads the code (perl, no compiler): a header line whose text before the first
# "name(" is a return type declares that name; every word of the callers outside "//" comments is a
# reference, except the declared name on its own declaration or definition line.
# Its limits, known and accepted:
#   - it compares names, not signatures: overloads and members of the same name in different classes
#     count as one (a used CString::Find keeps every Find);
#   - calls in a body that starts on a later line than its definition count, so a wrapper keeps a
#     function of its own name alive;
#   - constructors, destructors, operators, macros and declarations made only in .cpp files are not
#     checked; a name inside a string or a block comment counts as a reference.
#   bash scripts/check-seam.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Functions kept although only tests call them, each with its reason.
kept_for_tests='
SysStringByteLen       the macro host side of the BSTRs that the exports take and return
SafeArrayCreateVector  the macro host side of the arrays that the exports fill
SafeArrayDestroy       the macro host side of the arrays that the exports fill
'
# The driver of the headless window layer, there for the tests and the headless check program.
skipped_headers='platform/posix/observer.h'

status=0

headers=$(find platform framework -name '*.h' | sort | grep -vxF "$skipped_headers")
callers=$(find library check tools framework platform -name '*.h' -o -name '*.cpp' -o -name '*.c' | sort)
unused=$(KEPT="$kept_for_tests" perl -e '
use strict; use warnings;
my (@headers, @files); my $into = \@headers;
for (@ARGV) { if ($_ eq "--") { $into = \@files; next } push @$into, $_ }
my %kept = map { (split)[0] => 1 } grep { /\S/ } split /\n/, $ENV{KEPT};
my %keyword = map { $_ => 1 } qw(if for while switch return sizeof alignof decltype static_assert noexcept
  catch defined operator __attribute__ alignas throw new delete case else do);
# The name that a line declares or defines, or none.
sub declared {
  my ($line) = @_;
  return "" if $line =~ /^\s*(?:#|typedef\b|using\b)/;
  $line =~ s/\[\[[^\]]*\]\]//g;
  $line =~ s/\bextern\s+"C"//;
  $line =~ s/^\s*template\s*<[^>]*>//;
  return "" unless $line =~ /^([\w\s*&:<>,~]*?)(~?\w+)\s*\(/;
  my ($prefix, $name) = ($1, $2);
  return "" if $keyword{$name} || $name =~ /^~/;
  return "" if $prefix =~ /\b(?:return|else|new|delete|throw|case|operator|goto|do)\b/;
  (my $type = $prefix) =~ s/(?:\w+(?:<[^>]*>)?)?::\s*$//;  # the class of a member defined outside it
  $type =~ s/\b(?:explicit|virtual|inline|static|constexpr|friend|extern|template|typename|class|struct)\b//g;
  return $type =~ /\w/ ? $name : "";  # without a return type: a call or a constructor
}
sub code { my ($line) = @_; $line =~ s/(^|\s)\/\/.*//; $line =~ s/\/\*.*?\*\///g; return $line }
my (%declaredAt, %uses);
for my $header (@headers) {
  open my $in, "<", $header or die "$header: $!";
  while (my $line = <$in>) {
    my $name = declared(code($line));
    $declaredAt{$name} //= "$header:$." if $name ne "";
  }
}
for my $file (@files) {
  open my $in, "<", $file or die "$file: $!";
  while (my $line = <$in>) {
    $line = code($line);
    my $own = declared($line);
    for my $word ($line =~ /\b(\w+)\b/g) { $uses{$word}++ unless $word eq $own }
  }
}
for my $name (sort { $declaredAt{$a} cmp $declaredAt{$b} } keys %declaredAt) {
  print "$declaredAt{$name}: $name\n" unless $uses{$name} || $kept{$name};
}
' $headers -- $callers)
if [ -n "$unused" ]; then
  echo "check-seam: declared in platform/ or framework/ but called by no deliverable (only by tests, or by nothing):"
  echo "$unused" | sed 's/^/  /'
  status=1
fi

# The second check compiles two probes against the Linux side of the seam: one that names only what
# the seam offers for sockets, which must compile, and one that names a POSIX-only socket call and
# flag, which must not.
if [ "$(uname -s)" = Linux ]; then
  compiler="${CXX:-c++}"
  probes="$(mktemp -d)"
  trap 'rm -rf "$probes"' EXIT
  cat >"$probes/offered.cpp" <<'EOF'
#include "platform/win32api.h"
int Probe(SOCKET s) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(3017);
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    u_long nonBlocking = 1;
    char byte = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR) return WSAGetLastError();
    if (listen(s, SOMAXCONN) == SOCKET_ERROR || ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) return 1;
    int length = sizeof(address);
    const SOCKET client = accept(s, reinterpret_cast<sockaddr*>(&address), &length);
    if (client == INVALID_SOCKET) return WSAEWOULDBLOCK;
    const int got = recv(client, &byte, 1, 0) + send(client, &byte, 1, 0);
    return got + closesocket(client) + closesocket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}
EOF
  cat >"$probes/posix_only.cpp" <<'EOF'
#include "platform/win32api.h"
int Probe() {
    int pair[2];
    return ::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) + MSG_DONTWAIT;
}
EOF
  if ! "$compiler" -std=c++17 -fsyntax-only -I. "$probes/offered.cpp"; then
    echo "check-seam: platform/win32api.h no longer offers the Windows Sockets names above"
    status=1
  elif "$compiler" -std=c++17 -fsyntax-only -I. "$probes/posix_only.cpp" 2>/dev/null; then
    echo "check-seam: platform/win32api.h lets code above the platform call ::socketpair and see MSG_DONTWAIT"
    status=1
  fi
fi

[ "$status" = 0 ] && echo "check-seam: the seam declares nothing that the deliverables leave unused"
exit "$status"
