#!/usr/bin/env bash
# Tries the visit window's telephone as a new operator would, on a private virtual screen, against
# an answering end on this machine (sipp): a call held 5 s by the callee ended with completion, a
# busy number and an unanswered one (both offered as 无应答). Screenshots go to OUT (default
# ./phone-walk); the program runs from a copy of build/bin with a fresh database of its own.
#   scripts/phone-walkthrough.sh [OUT]
# Needs: xvfb xauth xdotool imagemagick sip-tester baresip-core sqlite3 (Debian packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-phone-walk}")
mkdir -p "$out"
work=$(mktemp -d)
cp "$root/build/bin/tellvane" "$root/build/bin/dhyx.dat" "$work/"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; cp "$work/app.log" "$out/" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

# A project of one question, three customers.
sqlite3 "$work/dhyx.dat" <<'SQL'
insert into t_ywbh(ywname, ywtips) values('满意度回访', '您好，这里是回访中心');
insert into q_table(ywbh, qbh, qnr) values(1, 10, '您对我们的服务满意吗？');
insert into q_sel(qid, sel, gotoq) values(1, '满意', null), (1, '不满意', null);
insert into yhda(ywbh, xh, dhhm1, yhxm, sljg) values(1, 1, '13800138001', '张三', '未受理'),
  (1, 2, '13800138002', '李四', '未受理'), (1, 3, '13800138003', '王五', '未受理');
SQL

# The answering end: one sipp scenario per call, on the port the seat's account names.
port=$((20000 + RANDOM % 20000))
reply() { # status, with SDP?
  local body="" ctype=""
  if [ "${2:-}" = sdp ]; then
    ctype=$'Content-Type: application/sdp\n'
    body=$'v=0\no=u 1 1 IN IP4 [local_ip]\ns=-\nc=IN IP4 [media_ip]\nt=0 0\nm=audio [media_port] RTP/AVP 0\na=rtpmap:0 PCMU/8000\n'
  fi
  local to='[last_To:];tag=[pid]t[call_number]'
  [ "${3:-}" = notag ] && to='[last_To:]'
  printf '<send><![CDATA[\nSIP/2.0 %s\n[last_Via:]\n[last_From:]\n%s\n[last_Call-ID:]\n[last_CSeq:]\nContact: <sip:[local_ip]:[local_port];transport=[transport]>\n%sContent-Length: [len]\n\n%s]]></send>\n' "$1" "$to" "$ctype" "$body"
}
# talk: answers after 1 s, holds the call 5 s, then hangs up itself.
{ echo '<?xml version="1.0"?><scenario name="talk"><recv request="INVITE"><action>'
  echo '<ereg regexp=".*" search_in="hdr" header="From:" assign_to="from"/>'
  echo '<ereg regexp=".*" search_in="hdr" header="To:" assign_to="to"/>'
  echo '<ereg regexp="sip:[^>;]*" search_in="hdr" header="Contact:" assign_to="contact"/></action></recv>'
  reply "180 Ringing"; echo '<pause milliseconds="1000"/>'; reply "200 OK" sdp
  echo '<recv request="ACK"/><pause milliseconds="5000"/>'
  printf '<send><![CDATA[\nBYE [$contact] SIP/2.0\nVia: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]\nFrom: [$to];tag=[pid]t[call_number]\nTo: [$from]\n[last_Call-ID:]\nCSeq: 2 BYE\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send>\n'
  echo '<recv response="200"/></scenario>'; } >"$work/talk.xml"
{ echo '<?xml version="1.0"?><scenario name="busy"><recv request="INVITE"/>'; reply "180 Ringing"
  echo '<pause milliseconds="1500"/>'; reply "486 Busy Here"; echo '<recv request="ACK"/></scenario>'; } >"$work/busy.xml"
{ echo '<?xml version="1.0"?><scenario name="ring"><recv request="INVITE"/>'; reply "180 Ringing"
  echo '<recv request="CANCEL"/>'; reply "200 OK" "" notag; reply "487 Request Terminated"
  echo '<recv request="ACK"/></scenario>'; } >"$work/ring.xml"
callee() { sipp -sf "$work/$1.xml" -i 127.0.0.1 -p "$port" -m 1 -bg -nostdin >/dev/null 2>&1 || true; sleep 0.5; }

# The seat's account: no registration, silence sent, nothing played; unanswered after 8 s.
python3 - "$work/silence.wav" <<'PY'
import sys, wave
w = wave.open(sys.argv[1], 'wb'); w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
w.writeframes(b'\0' * 16000 * 60); w.close()
PY
cat >"$work/tellvane.ini" <<INI
[sip]
server=127.0.0.1:$port
user=seat1
transport=udp
register=false
ring_seconds=8
record=true
record_folder=$work/录音
audio_source=aufile,$work/silence.wav
audio_player=aubridge,walk
INI

d=$((100 + RANDOM % 800))
while [ -e /tmp/.X11-unix/X$d ]; do d=$((d + 1)); done
Xvfb :$d -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$d ] && break; sleep 0.1; done
export DISPLAY=:$d
n=0
shot() { n=$((n + 1)); sleep "${2:-0.7}"; import -window root "$out/$(printf %02d $n)-$1.png"; }
x() { xdotool "$@"; }

(cd "$work" && LC_ALL=C.UTF-8 QT_LOGGING_RULES="tellvane.phone.debug=true" ./tellvane >"$work/app.log" 2>&1) & pids+=($!)
sleep 2
x type admin; x key Tab; x type admin; x key Return; sleep 2
shot login
x mousemove 22 45 click 1; sleep 2   # 电话访问
shot visit

# 1. A call the callee holds 5 s, then ended with completion (the screen's clock has run longer).
callee talk
x mousemove 55 670 click 1; sleep 1   # 提取客户
x key F5                              # 拨号
shot ringing 0.5
sleep 1.2
shot connected 0.3
sleep 5
shot hung-up 0.3
sleep 2
x mousemove 152 670 click 1           # 提交结果
shot completed 1.5

# 2. A busy number: 无应答 is offered, Enter takes it.
callee busy
x mousemove 640 300 click 1
x key F5
shot busy-offered 3
x key Return
shot busy-written 1

# 3. Nobody answers: the seat gives up after ring_seconds, 无应答 is offered again.
callee ring
x mousemove 640 300 click 1           # bare Xvfb has no window manager to give the focus back after a box
x key F5
shot unanswered-offered 10
x key Return
shot unanswered-written 1

# 4. The history: the talked call has 5 s from the line and its recording, which plays.
x key Return                          # no customer left to draw: the box says so
x mousemove 40 9 click 1; sleep 0.7
x mousemove 97 119 click 1            # 电访历史记录查询
shot history 1.5

x mousemove 600 124 click 1           # 查  询
shot history-rows 1
x mousemove 300 222 click 1           # the oldest row: the talked call
x mousemove 1230 124 click 1          # 播放录音
shot played 1.5
ls -l "$work/录音" >"$out/recordings.txt" 2>&1 || true
sqlite3 -header "$work/dhyx.dat" "select dhhm, sljg, thsc, jsly, lywj from visitlog order by id" >"$out/history.txt"
