#!/usr/bin/perl
# Independent reader of NDX index files for the table engine's tests (Perl's XBase::Index).
#
#   ndx_readers.pl walk <index.ndx> [out]   prints "<recno>|<key>" for every entry in index order
#
# Character keys are printed with trailing blanks removed, numbers as Perl prints them. Exit 3 when
# the reader is missing.
use strict;
use warnings;

my ($command, $file, $out) = @ARGV;
unless (defined $command && $command eq 'walk' && defined $file) {
  print STDERR "usage: ndx_readers.pl walk <index.ndx> [out]\n";
  exit 2;
}
unless (eval { require XBase::Index; 1 }) {
  print STDERR "XBase::Index missing\n";
  exit 3;
}
my $fh = \*STDOUT;
if (defined $out) {
  open($fh, '>', $out) or die "cannot write $out: $!";
}
my $index = XBase::Index->new($file) or die "cannot open $file: " . XBase::Index->errstr;
$index->prepare_select or die "cannot walk $file: " . $index->errstr;
while (my ($key, $recno) = $index->fetch) {
  $key =~ s/ +$//;
  print $fh "$recno|$key\n";
}
close($fh) if defined $out;
