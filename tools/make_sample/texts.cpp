// The sample character's words. A literal backslash-n breaks a line, a
// literal backslash-0 starts a new balloon page; HH and MM in companion
// messages become the current hour and minute.
#include "tools/make_sample/texts.h"

#include <string_view>

namespace vashel::sample {

std::string companionMessages() {
  return R"(# Messages of the sample character: action slot (- for the default message), seconds, hour (* any), text.
- 10 * はじめまして！わたしはヴァシェル。\nきょうから、あなたのデスクトップに住むね。\nNice to meet you!
0 8 * いまはHH時MM分だよ。\nIt's HH:MM now.
0 8 6 おはよう！きょうもいい一日になりますように。
0 8 7 Good morning! Did you have breakfast?
0 8 12 そろそろお昼ごはんの時間だね。\nLunch time!
0 8 15 おやつにしない？\nHow about a snack?
0 8 18 夕方だね。きょうもおつかれさま。
0 8 21 夜はゆっくり休んでね。
0 8 23 もう夜おそいよ。むりしないでね。\nIt's late. Get some sleep!
0 8 2 まだ起きてるの？夜ふかしさんだね。
0 6 * ふんふふーん♪
0 6 * Need a break? Stretch with me!
1 5 * なにかおもしろいもの、ないかな？
2 5 * んーっ、のびのび！
3 5 * ぴょんっ！
4 5 * うんうん、わかるよ。
5 6 * Let's dance!
10 5 * くすぐったいよー！
11 5 * えへへ、なでなで。
99 6 * こんにちは！ Hello!
)";
}

std::string messageXml() {
  std::string idle;
  for (int i = 0; i < 20; ++i) idle += "    <item name=\"idle\"/>\n";
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- Sequences of the sample character. Written by tools/make_sample: change the generator, not this file. -->
<vashel>
  <sequence name="idle" start="1" end="90"/>
  <sequence name="chat" start="1" end="90">
    <random>
      <msg frame="50">いい天気だね。\nNice weather today.</msg>
      <msg frame="50">ふんふふーん♪</msg>
      <msg frame="50">なにしてるの？\nWhat are you up to?</msg>
      <msg frame="60">つかれたら、ひと休みしてね。\nDon't forget to take a break.</msg>
    </random>
  </sequence>
  <sequence name="look" start="100" end="190"/>
  <sequence name="stretch" start="200" end="290"/>
  <sequence name="jump" start="300" end="345"/>
  <sequence name="nod" start="355" end="400"/>
  <sequence name="dance" start="410" end="530">
    <msg frame="40">Let's dance!</msg>
  </sequence>
  <sequence name="pat" pick="pick_head" start="630" end="710">
    <msg frame="40">わっ、なでてくれるの？</msg>
    <msg frame="50">えへへ……うれしいな。\nThank you!</msg>
    <random>
      <msg frame="50">もっとなでてもいいよ？</msg>
      <msg frame="50">髪がくしゃくしゃになっちゃう！</msg>
      <msg frame="50">You're so kind!</msg>
    </random>
    <msg frame="90">ねえ、知ってる？\0わたし、いつもここで\nあなたを見てるんだよ。\0……なーんてね！\nI'm always here with you.</msg>
  </sequence>
  <randomaction>
)" + idle + R"(    <item name="chat"/>
    <item name="look"/>
    <item name="stretch"/>
    <item name="jump"/>
    <item name="nod"/>
    <item name="dance"/>
  </randomaction>
</vashel>
)";
}

std::string feedXml() {
  // No indentation: white space between elements would end up in the fields.
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0">
<channel>
<title>Vashel sample feed</title>
<link>http://localhost:8000/</link>
<description>A small feed for trying the balloon with a local server.</description>
<item>
<title>ようこそ</title>
<description>このフィードはローカルでのテスト用です。\nThis feed is for local tests.</description>
<link>http://localhost:8000/welcome.html</link>
<pubDate>Mon, 01 Jan 2024 09:00:00 +0000</pubDate>
</item>
<item>
<title>きょうの天気</title>
<description>晴れのち くもり。おでかけには かさを わすれずに。</description>
<link>http://localhost:8000/weather.html</link>
<pubDate>Mon, 01 Jan 2024 12:00:00 +0000</pubDate>
</item>
<item>
<title>News</title>
<description>Vashel now lives on Linux desktops, too.</description>
<link>http://localhost:8000/news.html</link>
<pubDate>Tue, 02 Jan 2024 08:30:00 +0000</pubDate>
</item>
</channel>
</rss>
)";
}

}  // namespace vashel::sample
