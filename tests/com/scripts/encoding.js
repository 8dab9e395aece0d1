// A JScript client of sessions in UTF-8, WLATIN1 and Shift-JIS, set as a
// script client sets them: HKCU\Software\Tamberlo\Encoding, read at every
// Execute. The texts must come back as the same characters.
var shell = new ActiveXObject("WScript.Shell");
var key = "HKCU\\Software\\Tamberlo\\Encoding";
function chars(codes) { return String.fromCharCode.apply(null, codes); }
var gruesse = "Gr" + chars([0xFC, 0xDF]) + "e, " + chars([0x20AC]);
var nihongo = chars([0x65E5, 0x672C, 0x8A9E]);
var sessions = [["UTF-8", gruesse + " and " + nihongo], ["WLATIN1", gruesse], ["SHIFT-JIS", nihongo]];

for (var i = 0; i < sessions.length; ++i) {
    var name = sessions[i][0], text = sessions[i][1];
    shell.RegWrite(key, name, "REG_SZ");
    var runner = new ActiveXObject("Tamberlo.CodeRunner");
    runner.SASCode = "data _null_; file print; put '" + text + "';";
    runner.SASCode = "file _put1; put '" + text + "'; run;";
    var status = runner.Execute();
    var log = runner.Log;
    WScript.Echo(name + ": " + status +
                 ", put file " + (runner.PutFile(1) == text + "\r\n") +
                 ", log " + (log.indexOf("put '" + text + "';") >= 0 && log.indexOf("WARNING") < 0) +
                 ", listing " + (runner.Lst.indexOf(text) >= 0) +
                 ", program " + (runner.SASCode.indexOf("put '" + text + "'; run;") >= 0) +
                 ", report " + (runner.DebugInfo.indexOf("-----\r\n" + text + "\r\n") >= 0));
}

function refused(encoding, program) {
    shell.RegWrite(key, encoding, "REG_SZ");
    var runner = new ActiveXObject("Tamberlo.CodeRunner");
    runner.SASCode = program;
    try {
        runner.Execute();
        WScript.Echo(encoding + ": no error");
    } catch (e) {
        WScript.Echo(encoding + ": " + (e.number & 0xFFFF) + " / " + e.description + " / put files " +
                     (function () { try { runner.PutFile(1, true); return "kept"; } catch (e2) { return "gone"; } })());
    }
}
refused("LATIN1", "data _null_; file _put1; put '" + chars([0x20AC]) + "'; run;");
refused("WLATIN1", "data _null_;\r\nput '" + chars([0x65E5]) + "'; run;");
refused("KLINGON", "%put hello;");

// Empty is not set: the ANSI code page again.
shell.RegWrite(key, "", "REG_SZ");
WScript.Echo("done");
