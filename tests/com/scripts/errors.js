// What a JScript client sees of failures: the caught error's number (the
// whole status 0x800A0000 + number, negative), its low 16 bits and its
// description.
function report(what, e) {
    WScript.Echo(what + ": " + e.number + " | " + (e.number & 0xFFFF) + " | " + e.description);
}

var runner = new ActiveXObject("Tamberlo.CodeRunner");
try {
    runner.SASCode = "missing.sas";
    WScript.Echo("no error");
} catch (e) {
    report("missing program file", e);
    WScript.Echo("message equals description: " + (e.message == e.description));
}

try {
    runner.PutFile(1);
} catch (e) {
    report("put file before any run", e);
}

// A failed Execute has already declared the program's put files, so this
// one uses a program without any.
runner.SASCode = "%put no put files;";
try {
    runner.Execute("Z:\\no\\such\\root\\");
} catch (e) {
    report("wrong SAS root", e);
}

runner.Reset();
runner.SASCode = "data _null_; file _PUT1; put 'x'; run;";
WScript.Echo("first run: " + runner.Execute());
try {
    runner.Execute();
} catch (e) {
    report("second run", e);
}

try {
    runner.PutFile(0);
} catch (e) {
    report("index 0", e);
}
WScript.Echo("done");
