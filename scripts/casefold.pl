#!/usr/bin/env perl
# Writes model/casefold.cpp: Unicode simple case folding (CaseFolding.txt,
# statuses C and S) as runs of code points that fold by the same offset,
# taken from the Unicode data of this perl (Unicode 14 with perl 5.36). The
# folded names are stored in the settings store, so a new table must fold
# every name a store already holds the same way.
#   perl scripts/casefold.pl > model/casefold.cpp
use strict;
use warnings;
use Unicode::UCD qw(all_casefolds);

my $folds = all_casefolds();
my @pairs;
for my $cp (sort { $a <=> $b } keys %$folds) {
  my $simple = $folds->{$cp}{simple};
  next unless defined $simple && length $simple;
  my $to = hex((split / /, $simple)[0]);
  push @pairs, [$cp, $to] if $to != $cp;
}
# Runs: first, last, step (1 or 2), offset.
my @runs;
for (my $i = 0; $i < @pairs;) {
  my ($cp, $to) = @{$pairs[$i]};
  my ($count, $step) = (1, 1);
  for my $s (1, 2) {
    my $j = $i + 1;
    $j++ while $j < @pairs && $pairs[$j][0] == $pairs[$j - 1][0] + $s && $pairs[$j][1] - $pairs[$j][0] == $to - $cp;
    ($count, $step) = ($j - $i, $s) if $j - $i > $count;
  }
  push @runs, sprintf("{0x%04X, 0x%04X, %d, %d}", $cp, $pairs[$i + $count - 1][0], $step, $to - $cp);
  $i += $count;
}
my $version = Unicode::UCD::UnicodeVersion();
print "// Unicode $version simple case folding, written by scripts/casefold.pl.\n";
print "#include <algorithm>\n#include <cstdint>\n#include <iterator>\n\n#include \"model/utf8.h\"\n\n";
print "namespace vantorel {\n\nnamespace {\n\n";
print "// Code points first to last, every step-th, fold to themselves plus offset.\n";
print "struct FoldRun {\n  char32_t first, last;\n  int32_t step, offset;\n};\n\n";
print "constexpr FoldRun kFoldRuns[] = {\n";
for (my $i = 0; $i < @runs; $i += 3) {
  print "    ", join(", ", @runs[$i .. ($i + 2 < $#runs ? $i + 2 : $#runs)]), ",\n";
}
print "};\n\n}  // namespace\n\n";
print <<'CPP';
char32_t SimpleCaseFold(char32_t cp) {
  const auto* run = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), cp,
                                     [](char32_t c, const FoldRun& r) { return c < r.first; });
  if (run == std::begin(kFoldRuns)) return cp;
  --run;
  if (cp > run->last || (cp - run->first) % static_cast<char32_t>(run->step) != 0) return cp;
  return static_cast<char32_t>(static_cast<int32_t>(cp) + run->offset);
}

}  // namespace vantorel
CPP
