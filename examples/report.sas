/* report.sas: a small sales report, run through Tamberlo.

   Tamberlo declares the filerefs _PUT1 and _PUT3 itself before the program
   runs (one temporary file each, opened with MOD), so the program only
   writes to them. Afterwards the client reads:
     PutFile(1)  the sales figures as CSV,
     PutFile(3)  a one-line summary,
     Lst         the listing printed below,
     Log         the SAS log.                                               */

options nodate nonumber;

title 'Quarterly Sales';
title2 'First quarter, all regions';

* The figures as CSV, one record per region;
data _null_;
  file _PUT1;
  put 'region,quarter,sales';
  put 'North,Q1,1200';
  put 'South,Q1,950';
  put 'West,Q1,1150';
run;

* The summary, for a client that only needs the total;
data _null_;
  file _PUT3;
  put 'regions=3' 'total=3300';
run;

* The same figures for a person to read;
data _null_;
  file print;
  put 'Region    Sales';
  put '------    -----';
  put 'North      1200';
  put 'South       950';
  put 'West       1150';
  put;
  put 'Total      3300';
run;

%put NOTE: The report is complete.;
