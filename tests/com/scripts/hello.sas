data _null_; file _PUT1; put 'first put'; run;
data _null_; file _PUT2; put 'second put'; run;
