# Runs inside the test VM, where run-vm-test.sh's share is /share: the 32-bit
# scripted host and the framing host against the i686 DLLs under 32-bit
# Wine, in a Japanese locale (ANSI code page 932): the scripted host hands one
# ghost's Japanese path to load, which Wine gives it in code page 932 (the
# narrow command line), and that folder's name and another's to loadu in
# UTF-8 (from the wide command line). The files are copied from
# /share/in to C:\test on the VM's own disk first: run straight from the 9p
# share, Wine mapped host.exe with its code read as zeros and crashed. The
# programs' output goes to /share/out, Wine's messages to out/wine.err, each
# exit status to out/status, and the ghost directories, with what the modules
# wrote into them, are copied back to out/.
. /share/env.sh
export LANG=ja_JP.UTF-8 WINEPREFIX=/root/.wine WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
wine=/usr/lib/wine/wine
server=$(ls /usr/lib/wine/wineserver* | head -n 1)
out=/share/out
test=$WINEPREFIX/drive_c/test
mkdir -p "$out"
cp -R /share/in "$test" || exit 1

run() {
  name=$1
  shift
  "$wine" "$@" > "$out/$name" 2>> "$out/wine.err"
  echo "$name $?" >> "$out/status"
}

# One wineserver for all the runs below.
"$server" -p
run chcp.txt cmd /c chcp
run main.txt 'C:\test\bin\host.exe' 'C:\test\bin\shiori.dll' 'C:\test\bin\makoto.dll' \
  'C:\test\main\' 'C:\test\script.txt'
run sjis.txt 'C:\test\bin\host.exe' 'C:\test\bin\shiori.dll' 'C:\test\bin\makoto.dll' \
  "C:\\test\\$sjis_dir\\" 'C:\test\sjis-script.txt'
run utf8.txt 'C:\test\bin\host.exe' 'C:\test\bin\shiori.dll' 'C:\test\bin\makoto.dll' \
  "C:\\test\\$wide_dir\\" 'C:\test\utf8-script.txt' loadu
run utf8-sjis.txt 'C:\test\bin\host.exe' 'C:\test\bin\shiori.dll' 'C:\test\bin\makoto.dll' \
  "C:\\test\\u\\$sjis_dir\\" 'C:\test\utf8-script.txt' loadu
run proxy-out.bin 'C:\test\bin\proxy-host.exe' 'C:\test\proxy' < "$test/proxy-in.bin"
"$server" -k
cp -R "$test/main" "$test/$sjis_dir" "$test/$wide_dir" "$test/proxy" "$test/u" "$out/"
