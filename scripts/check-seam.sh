#!/usr/bin/env bash
# Keeps the platform seam to what the deliverables call. Fails, naming them:
#   1. when a function that a header of platform/ or framework/ declares, free or a member of a class
#      declared there, is called by no deliverable: not by library/ or check/, nor by the code of
#      framework/ and platform/ that what they call runs in turn (tests/, bench/, fuzz/ and tools/ do
#      not count);
#   2. when a file above the platform that includes only platform/win32api.h sees the system's socket
#      headers: a POSIX socket call written there would compile on Linux and fail only on Windows.
#
# How the first check reads the code (perl, no compiler): comments, strings and preprocessor lines
# are dropped, and the function-like macros of the two layers' headers are expanded where they are
# used, so that message maps and run-time class records read as the functions and tables they make
# (a macro that stands for one name, as CreateThread for QpCreateThread, leads to both names).
# It starts from every function body and initializer of library/ and check/, and from the layers'
# code that is no declared function (helpers of one file, constructors, destructors, operators,
# global initializers); each name there leads to what it names, and that function's body is read in
# turn:
#   x.Name, x->Name   the member of the classes x is declared with (or of their bases), and the
#                     members overriding it below them; of every class when x is no plain name (a
#                     call's result) or one of its declarations has a type that is not a class;
#   Class::Name       that class's member or its nearest base's; a message-map entry names its
#                     handler so (ON_WM_PAINT() gives &ThisClass::OnPaint);
#   ::Name, ns::Name  the free function;
#   Name              the free function, and in a member function also the member of its class, its
#                     bases and the classes below it.
# A deliverable's class that declares a member of the name of a member of its framework base keeps
# that member too (the framework's dispatch calls the override).
# Its limits, known and accepted:
#   - it compares names, not signatures: overloads count as one, and so do free functions of one
#     name in different namespaces;
#   - variables are told apart by name only: a name declared with several types anywhere stands for
#     all of them, and for every class when one of those is not a class;
#   - constructors, destructors, operators, macros and declarations made only in .cpp files are not
#     checked, and what they call counts as called;
#   - both sides of an #if are read; a file whose braces it cannot follow stops the check.
#   bash scripts/check-seam.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Functions kept although only tests call them, each with its reason (a member as Class::Name).
kept_for_tests='
SysStringByteLen       the macro host side of the BSTRs that the exports take and return
SafeArrayCreateVector  the macro host side of the arrays that the exports fill
SafeArrayDestroy       the macro host side of the arrays that the exports fill
'
# The driver of the headless window layer, there for the tests and the headless check program: its
# code counts as the layers' code, its declarations are not checked.
skipped_headers='platform/posix/observer.h'

status=0

sources() { find "$@" \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sort; }
headers=$(find platform framework -name '*.h' | sort | grep -vxF "$skipped_headers")
deliverables=$(sources library check)
layers=$( (find framework platform \( -name '*.cpp' -o -name '*.c' \); echo "$skipped_headers") | sort)
unused=$(KEPT="$kept_for_tests" perl - $headers -- $deliverables -- $layers <<'PERL'
use strict;
use warnings;

# Arguments: the declaring headers, "--", the deliverables' files, "--", the layers' other files.
my @lists = ([], [], []);
my $at = 0;
for (@ARGV) { if ($_ eq "--") { $at++ } else { push @{ $lists[$at] }, $_ } }
my ($declaring, $deliverable, $layer) = @lists;
my %declaring = map { $_ => 1 } @$declaring;
my %kept = map { (split)[0] => 1 } grep { /\S/ } split /\n/, ($ENV{KEPT} // "");

my %keyword = map { $_ => 1 } qw(alignas alignof asm auto bool break case catch char class const
  constexpr const_cast continue decltype default delete do double dynamic_cast else enum explicit
  export extern false final float for friend goto if inline int long mutable namespace new noexcept
  nullptr operator override private protected public register reinterpret_cast return short signed
  sizeof static static_assert static_cast struct switch template this thread_local throw true try
  typedef typeid typename union unsigned using virtual void volatile while __attribute__ __declspec);
my %specifier = map { $_ => 1 } qw(virtual static inline explicit constexpr friend extern typename
  template const volatile mutable thread_local);
sub is_word { $_[0] =~ /^[A-Za-z_]/ }

# ---- Reading: tokens with their line numbers, and the layers' macros.

my %macro;        # function-like: parameters and body
my %alias_macro;  # object-like that stand for one name

sub tokens_of {
    my ($text, $line) = @_;
    my @tokens;
    for my $piece (split /\n/, $text, -1) {
        while ($piece =~ /\G\s*(?:([A-Za-z_]\w*)|(\d[\w.]*)|(::|->|##|\.\.\.|[^\s\w]))/gc) {
            push @tokens, [$1 // (defined $2 ? "0" : $3), $line];
        }
        $line++;
    }
    return @tokens;
}

sub read_tokens {
    my ($file) = @_;
    open my $in, "<", $file or die "$file: $!";
    my $text = do { local $/; <$in> };
    # Comments go, strings and characters become a 0; newlines stay, so that lines keep their numbers.
    $text =~ s{(//[^\n]*)|(/\*.*?\*/)|("(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*')}{
        defined $1 ? "" : defined $2 ? "\n" x ($2 =~ tr/\n//) : " 0 "}gse;
    my @lines = split /\n/, $text, -1;
    my @tokens;
    for (my $n = 0; $n < @lines; $n++) {
        my $line = $lines[$n];
        if ($line !~ /^\s*#/) { push @tokens, tokens_of($line, $n + 1); next }
        $line .= " " . $lines[++$n] while $line =~ s/\\\s*$// && $n + 1 < @lines;
        next unless $file =~ m{^(?:framework|platform)/.*\.h$};
        if ($line =~ /^\s*#\s*define\s+(\w+)\(([^)]*)\)\s*(.*)$/) {
            my ($name, $params, $body) = ($1, $2, $3);
            $macro{$name} //= { params => [map { s/^\s+|\s+$//gr } split /,/, $params], body => [tokens_of($body, 0)] };
        } elsif ($line =~ /^\s*#\s*define\s+(\w+)\s+([A-Za-z_]\w*)\s*$/) {
            $alias_macro{$1} //= $2;
        }
    }
    return \@tokens;
}

# The index of the bracket that closes the one at $i, or the last index.
my %closer = ("(" => ")", "[" => "]", "<" => ">", "{" => "}");
sub closing {
    my ($s, $i) = @_;
    my ($open, $close) = ($s->[$i][0], $closer{ $s->[$i][0] });
    my $depth = 0;
    for (my $j = $i; $j < @$s; $j++) {
        $depth++ if $s->[$j][0] eq $open;
        $depth-- if $s->[$j][0] eq $close;
        return $j if $depth == 0;
    }
    return $#$s;
}

# The index of the "<" that opens the ">" at $k.
sub opening_angle {
    my ($s, $k) = @_;
    my $depth = 0;
    for (my $j = $k; $j >= 0; $j--) {
        $depth++ if $s->[$j][0] eq ">";
        $depth-- if $s->[$j][0] eq "<";
        return $j if $depth == 0;
    }
    return 0;
}

# The name that qualifies the one at $k (Class in Class::Name, Class<T>::Name), or "".
sub qualifier_of {
    my ($s, $k) = @_;
    return "" unless $k > 1 && $s->[$k - 1][0] eq "::";
    my $q = $k - 2;
    $q = opening_angle($s, $q) - 1 if $s->[$q][0] eq ">";
    return $q >= 0 && is_word($s->[$q][0]) ? $s->[$q][0] : "";
}

# Function-like macros are expanded where they are called, with their arguments, # and ##.
sub expand {
    my ($tokens, $active) = @_;
    my @out;
    for (my $i = 0; $i < @$tokens; $i++) {
        my ($name, $line) = @{ $tokens->[$i] };
        my $m = $macro{$name};
        if (!$m || $active->{$name} || $i + 1 >= @$tokens || $tokens->[$i + 1][0] ne "(") {
            push @out, $tokens->[$i];
            next;
        }
        my $end = closing($tokens, $i + 1);
        my (@args, $depth) = ([]);
        for my $token (@$tokens[$i + 2 .. $end - 1]) {
            $depth++ if $token->[0] =~ /^[([{]$/;
            $depth-- if $token->[0] =~ /^[)\]}]$/;
            if ($token->[0] eq "," && !$depth) { push @args, [] } else { push @{ $args[-1] }, $token }
        }
        my %value = map { ($m->{params}[$_], $args[$_] // []) } 0 .. $#{ $m->{params} };
        my @body;
        my @model = @{ $m->{body} };
        for (my $k = 0; $k < @model; $k++) {
            my $t = $model[$k][0];
            if ($t eq "#" && $k + 1 < @model && $value{ $model[$k + 1][0] }) { push @body, ["0", $line]; $k++; next }
            if ($t eq "##" && @body && $k + 1 < @model) {
                my $next = $model[++$k][0];
                my @rest = map { [$_->[0], $line] } $value{$next} ? @{ $value{$next} } : ([$next]);
                push @body, [pop(@body)->[0] . (@rest ? shift(@rest)->[0] : ""), $line], @rest;
                next;
            }
            push @body, $value{$t} ? (map { [$_->[0], $line] } @{ $value{$t} }) : ([$t, $line]);
        }
        push @out, @{ expand(\@body, { %$active, $name => 1 }) };
        $i = $end;
    }
    return \@out;
}

# ---- Structure: namespaces, classes with their bases and members, function bodies.

my (%is_class, %bases, %members, %deliverable_class);
my (%raw_alias, %entity, @bodies);
my %namespace_like = (std => 1);

# A statement without its template heads and attributes.
sub plain {
    my ($s) = @_;
    my @out;
    for (my $i = 0; $i < @$s; $i++) {
        my ($t, $next) = ($s->[$i][0], $i + 1 < @$s ? $s->[$i + 1][0] : "");
        if (($t eq "template" && $next eq "<") || ($t =~ /^(?:__attribute__|alignas|__declspec)$/ && $next eq "(")) {
            $i = closing($s, $i + 1);
        } elsif ($t eq "[" && $next eq "[") {
            $i = closing($s, $i);
        } else {
            push @out, $s->[$i];
        }
    }
    return \@out;
}

# The function that a statement declares: the index of its parameter list, its name, what qualifies
# the name, its kind and whether a return type comes first; nothing when it declares no function.
sub declarator {
    my ($s) = @_;
    for (my $i = 0; $i < @$s; $i++) {
        my $t = $s->[$i][0];
        if ($t eq "operator") {
            # The operator's own symbol may be "=" or "()"; its parameters follow it.
            my $j = $i + 1;
            $j += 2 if $j + 1 < @$s && $s->[$j][0] eq "(" && $s->[$j + 1][0] eq ")";
            $j++ while $j < @$s && $s->[$j][0] ne "(";
            return $j < @$s ? ($j, "operator", qualifier_of($s, $i), "operator", 0) : ();
        }
        return () if $t eq "=" || $t eq "{";
        next unless $t eq "(";
        my $k = $i - 1;
        $k = opening_angle($s, $k) - 1 if $k >= 0 && $s->[$k][0] eq ">";
        if ($k >= 0 && is_word($s->[$k][0]) && !$keyword{ $s->[$k][0] }) {
            my $destructor = $k > 0 && $s->[$k - 1][0] eq "~";
            my $typed = grep { is_word($_->[0]) && !$specifier{ $_->[0] } } @$s[0 .. $k - 1];
            return ($i, $s->[$k][0], qualifier_of($s, $destructor ? $k - 1 : $k),
                    $destructor ? "destructor" : "function", $typed);
        }
        $i = closing($s, $i);
    }
    return ();
}

sub enclosing_class {
    for (reverse @{ $_[0] }) { return $_->{name} if $_->{kind} eq "class" }
    return "";
}

# A declared function: free at namespace scope, a member in a class of a declaring header.
sub declare {
    my ($file, $stack, $line, $name, $qualifier, $kind, $typed) = @_;
    my $top = $stack->[-1];
    my $class = $top->{kind} eq "class" ? $top->{name} : "";
    $members{$class}{$name} = 1 if $class ne "";
    return unless $declaring{$file} && $kind eq "function" && $typed && !$macro{$name} && $qualifier eq "";
    return if $top->{kind} eq "class" && ($class eq "" || $name eq $class);
    $entity{ $class ne "" ? "${class}::$name" : $name } //= "$file:$line";
}

sub statement {
    my ($file, $stack, $stmt) = @_;
    my $s = plain($stmt);
    return unless @$s;
    my $first = $s->[0][0];
    if ($first eq "using" && @$s > 3 && $s->[2][0] eq "=") {
        push @{ $raw_alias{ $s->[1][0] } }, [@$s[3 .. $#$s]];
    } elsif ($first eq "typedef") {
        my ($last) = grep { is_word($_->[0]) } reverse @$s;
        push @{ $raw_alias{ $last->[0] } }, [@$s[1 .. $#$s - 1]] unless grep { $_->[0] eq "(" } @$s;
    } elsif ($first ne "friend" && $first ne "using") {
        my ($paren, @function) = declarator($s);
        declare($file, $stack, $s->[0][1], @function) if defined $paren;
    }
}

sub open_brace {
    my ($file, $in_deliverable, $stack, $stmt) = @_;
    my $s = plain($stmt);
    my @texts = map { $_->[0] } @$s;
    if (@texts && $texts[0] eq "namespace" || @texts == 2 && $texts[0] eq "extern") {
        my @names = grep { is_word($_) && !$keyword{$_} } @texts;
        $namespace_like{$_} = 1 for @names;
        push @$stack, { kind => "namespace", anonymous => $texts[0] eq "namespace" && !@names };
        @$stmt = ();
        return;
    }
    my ($keyword_at) = grep { $texts[$_] =~ /^(?:class|struct|union|enum)$/ } 0 .. $#texts;
    if (defined $keyword_at && !grep { $_ eq "(" || $_ eq "=" } @texts) {
        my @head = @texts[$keyword_at + 1 .. $#texts];
        my ($colon) = grep { $head[$_] eq ":" } 0 .. $#head;
        my @named = grep { is_word($_) && !$keyword{$_} } @head[0 .. ($colon // @head) - 1];
        my $name = @named ? $named[-1] : "";
        if ($texts[$keyword_at] eq "enum") {
            $namespace_like{$name} = 1 if $name ne "";
            push @$stack, { kind => "enum" };
        } else {
            $is_class{$name} = 1 if $name ne "";
            $deliverable_class{$name} = 1 if $name ne "" && $in_deliverable;
            # The bases: the first name of each, at the list's own level of angle brackets.
            my ($depth, $want) = (0, 1);
            for my $t (defined $colon ? @head[$colon + 1 .. $#head] : ()) {
                $depth++ if $t eq "<";
                $depth-- if $t eq ">";
                if ($t eq "," && !$depth) { $want = 1; next }
                next unless $want && !$depth && $name ne "" && is_word($t);
                next if $t =~ /^(?:public|protected|private|virtual)$/;
                push @{ $bases{$name} }, $t;
                $want = 0;
            }
            push @$stack, { kind => "class", name => $name };
        }
        @$stmt = ();
        return;
    }
    my ($paren, $name, $qualifier, $kind, $typed) = declarator($s);
    # A brace initializer, also one of a member in a constructor's initializer list: read at once.
    my ($init) = defined $paren ? grep { $s->[$_][0] eq ":" } closing($s, $paren) + 1 .. $#$s : ();
    if (!defined $paren || defined $init && $s->[-1][0] =~ /^(?:\w+|>)$/) {
        my $tokens = [];
        push @$stack, { kind => "initializer", depth => 0, tokens => $tokens };
        push @bodies, { file => $file, context => enclosing_class($stack), tokens => $tokens };
        return;
    }
    my $class = $stack->[-1]{kind} eq "class" ? $stack->[-1]{name} : "";
    my $local = $class eq "" && (grep({ $_->[0] eq "static" } @$s[0 .. $paren])
                                 || grep { $_->{anonymous} } @$stack);
    my $body = { file => $file, name => $name, kind => $kind, deliverable => $in_deliverable,
                 class => $class, qualifier => $qualifier, local => $local,
                 tokens => [defined $init ? @$s[$init + 1 .. $#$s] : ()] };
    push @bodies, $body;
    declare($file, $stack, $s->[0][1], $name, $qualifier, $kind, $typed);
    push @$stack, { kind => "body", depth => 0, tokens => $body->{tokens} };
    @$stmt = ();
}

my %file_tokens;
sub parse_file {
    my ($file, $in_deliverable, $tokens) = @_;
    $file_tokens{$file} = $tokens;
    my @stack = ({ kind => "namespace" });
    my @stmt;
    for my $token (@$tokens) {
        my $t = $token->[0];
        my $top = $stack[-1];
        if ($top->{kind} eq "body" || $top->{kind} eq "initializer") {
            $top->{depth}++ if $t eq "{";
            if ($t eq "}" && $top->{depth}-- == 0) {
                pop @stack;
                # A member's brace initializer ends no statement: its ";" or the function body follows.
                push @stmt, $token if $top->{kind} eq "initializer";
            } else {
                push @{ $top->{tokens} }, $token;
            }
        } elsif ($top->{kind} eq "enum") {
            pop @stack if $t eq "}";
        } elsif ($t eq ";") {
            statement($file, \@stack, \@stmt);
            @stmt = ();
        } elsif ($t eq "}") {
            pop @stack;
            @stmt = ();
        } elsif ($t eq ":" && @stmt == 1 && $stmt[0][0] =~ /^(?:public|protected|private)$/) {
            @stmt = ();
        } elsif ($t eq "{") {
            open_brace($file, $in_deliverable, \@stack, \@stmt);
        } else {
            push @stmt, $token;
        }
    }
    die "check-seam: cannot follow the braces of $file\n" if @stack != 1;
}

# Every file is read before any is parsed, so that each knows the macros of all the headers.
my %read = map { $_ => read_tokens($_) } @$declaring, @$layer, @$deliverable;
parse_file($_, 0, expand($read{$_}, {})) for @$declaring, @$layer;
parse_file($_, 1, expand($read{$_}, {})) for @$deliverable;

# ---- Types: classes, the aliases of classes, and the classes that variables are declared with.

my %type_cache;
sub classes_of_type {
    my ($name, $depth) = @_;
    return @{ $type_cache{$name} } if $type_cache{$name};
    my %found;
    if ($is_class{$name}) {
        $found{$name} = 1;
    } elsif ($raw_alias{$name} && ($depth // 0) < 8) {
        # An alias stands for the first class that its type names (CMap in CMap<K, K, V, V&>).
        for my $target (@{ $raw_alias{$name} }) {
            for my $t (grep { is_word($_->[0]) && $_->[0] ne $name } @$target) {
                my @classes = classes_of_type($t->[0], ($depth // 0) + 1);
                $found{$_} = 1 for @classes;
                last if @classes;
            }
        }
    }
    $type_cache{$name} = [sort keys %found];
    return @{ $type_cache{$name} };
}

# "Type name" followed by what may end a declaration: the variable `name` is of `Type`.
my %raw_var;
for my $tokens (values %file_tokens) {
    for (my $i = 0; $i + 2 < @$tokens; $i++) {
        my $type = $tokens->[$i][0];
        next unless is_word($type) && (!$keyword{$type} || $type eq "auto");
        my $j = $i + 1;
        $j = closing($tokens, $j) + 1 if $tokens->[$j][0] eq "<";
        $j++ while $j < @$tokens && $tokens->[$j][0] =~ /^(?:\*|&|const)$/;
        next unless $j + 1 < @$tokens && is_word($tokens->[$j][0]) && !$keyword{ $tokens->[$j][0] };
        $raw_var{ $tokens->[$j][0] }{$type} = 1 if $tokens->[$j + 1][0] =~ /^[;,=)\[{(:]$/;
    }
}

# The classes a variable of this name is declared with; none, which stands for any class, when one
# of its declarations is not of a class or none was read.
my %var_cache;
sub classes_of_variable {
    my ($name) = @_;
    $var_cache{$name} //= do {
        my %set;
        for my $type (keys %{ $raw_var{$name} || {} }) {
            my @classes = classes_of_type($type);
            if (!@classes) { %set = (); last }
            $set{$_} = 1 for @classes;
        }
        [sort keys %set];
    };
    return @{ $var_cache{$name} };
}

my %derived;
for my $class (keys %bases) { push @{ $derived{$_} }, $class for map { classes_of_type($_) } @{ $bases{$class} } }
sub all_derived {
    my @todo = @{ $derived{ $_[0] } || [] };
    my %seen;
    while (defined(my $c = shift @todo)) { push @todo, @{ $derived{$c} || [] } unless $seen{$c}++ }
    return keys %seen;
}

# ---- Use: from the deliverables' code outward, through the bodies of what it reaches.

my (%live, @work, %bodies_of, %members_named);
for my $key (keys %entity) { push @{ $members_named{$1} }, $key if $key =~ /::(\w+)$/ }

sub mark {
    my ($key) = @_;
    return unless $entity{$key} && !$live{$key}++;
    push @work, @{ $bodies_of{$key} || [] };
}

# The member that a call through $class reaches, in it or its nearest base; with $dispatch also the
# members of its name in the classes below it, which a virtual call may reach instead.
sub member {
    my ($class, $name, $dispatch) = @_;
    my @todo = ($class);
    my %seen;
    while (defined(my $c = shift @todo)) {
        next if $seen{$c}++;
        if ($members{$c}{$name}) {
            mark("${c}::$name");
        } else {
            push @todo, map { classes_of_type($_) } @{ $bases{$c} || [] };
        }
    }
    if ($dispatch) { mark("${_}::$name") for grep { $members{$_}{$name} } all_derived($class) }
}

sub any_member { mark($_) for @{ $members_named{ $_[0] } || [] } }

sub scan {
    my ($body) = @_;
    my ($tokens, $context) = ($body->{tokens}, $body->{context});
    # Aliases made inside the body (a message map's ThisClass).
    my %local;
    for (my $i = 0; $i + 2 < @$tokens; $i++) {
        next unless $tokens->[$i][0] eq "using";
        my $j = $i + 2;
        $j = closing($tokens, $j) + 1 if $tokens->[$j][0] eq "[";
        next unless $j < @$tokens && $tokens->[$j][0] eq "=";
        for ($j++; $j < @$tokens && $tokens->[$j][0] ne ";"; $j++) {
            my @classes = classes_of_type($tokens->[$j][0]);
            if (@classes) { $local{ $tokens->[$i + 1][0] } = \@classes; last }
        }
    }
    for (my $i = 0; $i < @$tokens; $i++) {
        my $word = $tokens->[$i][0];
        next unless is_word($word) && !$keyword{$word} && !($i + 1 < @$tokens && $tokens->[$i + 1][0] eq "::");
        my $before = $i > 0 ? $tokens->[$i - 1][0] : "";
        for my $name ($word, $alias_macro{$word} // ()) {
            if ($before eq "." || $before eq "->") {
                my $receiver = $i > 1 ? $tokens->[$i - 2][0] : "";
                my @classes = $receiver eq "this"   ? ($context)
                            : is_word($receiver)    ? classes_of_variable($receiver)
                            :                         ();
                @classes = grep { $_ ne "" } @classes;
                if (@classes) { member($_, $name, 1) for @classes } else { any_member($name) }
            } elsif ($before eq "::") {
                my $qualifier = qualifier_of($tokens, $i);
                my @classes = $local{$qualifier} ? @{ $local{$qualifier} } : classes_of_type($qualifier);
                if (@classes) { member($_, $name, 0) for @classes; next }
                mark($name);
                any_member($name) if $qualifier ne "" && !$namespace_like{$qualifier};
            } else {
                mark($name);
                member($context, $name, 1) if $context ne "";
            }
        }
    }
}

# The bodies of declared functions wait until something reaches them; the rest is read at once.
for my $body (@bodies) {
    unless (defined $body->{name}) { push @work, $body; next }
    my $class = $body->{class};
    ($class) = classes_of_type($body->{qualifier}) if $class eq "" && $body->{qualifier} ne "";
    $body->{context} = $class // "";
    my $key = $body->{context} ne "" ? "$body->{context}::$body->{name}" : $body->{name};
    if ($entity{$key} && $body->{kind} eq "function" && !$body->{local} && !$body->{deliverable}) {
        push @{ $bodies_of{$key} }, $body;
    } else {
        push @work, $body;
    }
}
# A deliverable's class that declares a member of its base's name overrides it.
for my $class (keys %deliverable_class) {
    for my $name (keys %{ $members{$class} || {} }) {
        member($_, $name, 0) for map { classes_of_type($_) } @{ $bases{$class} || [] };
    }
}
scan(shift @work) while @work;

sub place { my ($file, $line) = $entity{ $_[0] } =~ /^(.*):(\d+)$/; return ($file, $line) }
for my $key (sort { (place($a))[0] cmp (place($b))[0] || (place($a))[1] <=> (place($b))[1] } keys %entity) {
    print "$entity{$key}: $key\n" unless $live{$key} || $kept{$key};
}
PERL
)
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
