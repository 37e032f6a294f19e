@echo off
rem Repairs the browser: registers its components again and notes the run
rem in Repairie.log beside this file (one line per run).
setlocal
set log="%~dp0Repairie.log"
echo %date% %time% Repairie.bat: registering the browser components>>%log%
for %%d in (urlmon.dll shdocvw.dll mshtml.dll actxprxy.dll jscript.dll vbscript.dll oleaut32.dll browseui.dll msxml3.dll wininet.dll softpub.dll wintrust.dll initpki.dll rsaenh.dll) do regsvr32 /s %%d
endlocal
