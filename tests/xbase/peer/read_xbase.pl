#!/usr/bin/perl
# Independent reader for the engine tests: prints every record of a DBF
# (values as hex of their bytes) and the record order of the named CDX tags,
# as the Perl XBase modules read them.
# Usage: read_xbase.pl FILE.DBF FILE.CDX TAG[:TYPE] ...
use strict;
use warnings;
use XBase;
use XBase::Index;

my ($dbf, $cdx, @tags) = @ARGV;
my $t = XBase->new($dbf) or die XBase->errstr;
my @types = $t->field_types;
for my $i (0 .. $t->last_record) {
    my ($deleted, @values) = $t->get_record($i);
    die "record $i: " . $t->errstr unless defined $deleted;
    my @out;
    for my $k (0 .. $#values) {
        my $v = $values[$k];
        if ($types[$k] eq 'L') {
            $v = !defined $v ? '' : $v ? 'T' : 'F';
        }
        $v = '' unless defined $v;
        $v =~ s/\s+$// unless $types[$k] eq 'M';
        push @out, unpack('H*', $v);
    }
    print join('|', 'R', $i + 1, $deleted ? '*' : '', @out), "\n";
}
for my $spec (@tags) {
    my ($name, $type) = split /:/, $spec;
    $type ||= 'char';
    my $idx = XBase::Index->new($cdx, tag => $name, type => $type) or die XBase::Index->errstr;
    $idx->prepare_select or die $idx->errstr;
    my @order;
    while (my ($key, $recno) = $idx->fetch) {
        push @order, $recno;
    }
    print join('|', 'T', $name, join(' ', @order)), "\n";
}
