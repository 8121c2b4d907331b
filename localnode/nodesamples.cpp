#include "nodesamples.h"

#include "nodetext.h"

#include "foundation/digest.h"

#include <array>
#include <random>

namespace bryndle {

extern const unsigned char kSamplePng[];
extern const size_t kSamplePngSize;

namespace {

constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 24 * kHour;

struct Post {
    std::string body;
    std::string name;
    std::string mail;
    std::string attach;
    std::string suffix;
};

// The record text of a post, fields in key order, as the posting form stores them.
std::string textOf(const Post& post) {
    std::vector<std::pair<std::string, std::string>> fields;
    if (!post.attach.empty()) {
        fields.emplace_back("attach", Digest::base64Encode(post.attach));
    }
    if (!post.body.empty()) {
        fields.emplace_back("body", NodeText::escapePosted(post.body));
    }
    if (!post.mail.empty()) {
        fields.emplace_back("mail", NodeText::escapePosted(post.mail));
    }
    if (!post.name.empty()) {
        fields.emplace_back("name", NodeText::escapePosted(post.name));
    }
    if (!post.attach.empty()) {
        fields.emplace_back("suffix", post.suffix);
    }
    std::string text;
    for (const auto& [key, value] : fields) {
        text += (text.empty() ? "" : "<>") + key + ":" + value;
    }
    return text;
}

class Builder {
public:
    explicit Builder(std::vector<std::pair<std::string, NodeRecord>>& out) : out_(out) {}

    // Adds a post; returns the record's short id.
    std::string add(const std::string& title, int64_t stamp, const Post& post) {
        NodeRecord record = NodeStore::makeRecord(stamp, textOf(post));
        std::string shortId = record.id.substr(0, 8);
        out_.emplace_back(title, std::move(record));
        return shortId;
    }

private:
    std::vector<std::pair<std::string, NodeRecord>>& out_;
};

const std::array<const char*, 24> kChatter = {
    "こんにちは。今日もよろしくお願いします。",
    "最近寒くなってきましたね。",
    "新しいノードを立ててみました。\n思ったより簡単でした。",
    "昼ごはんはカレーでした。",
    "この板、落ち着いていていいですね。",
    "雨が降ってきた……洗濯物が。",
    "週末は山に行く予定です。\n天気が心配。",
    "お茶を淹れました ☕",
    "眠い。",
    "月がきれいですね。",
    "スレ立て乙です。",
    "ここって何を書いてもいいんですか？",
    "なんでも雑談なので、なんでもどうぞ。",
    "猫を飼い始めました。毎日かわいいです。",
    "朝の散歩が日課になりつつある。",
    "本を三冊まとめて買ってしまった。\n積読が増える一方です。",
    "今日は早く寝ます。おやすみなさい。",
    "おはようございます。",
    "電車が遅れていて遅刻しそう。",
    "コーヒーとお茶、どっち派ですか？",
    "断然お茶派です。",
    "久しぶりに書き込みます。",
    "A & B の違いがよくわからない。",
    "このスレもだいぶ伸びましたね。",
};

const std::array<const char*, 6> kNames = {"", "", "", "名無しの旅人", "月見", "ねこすき"};

void chatThread(Builder& builder, int64_t now) {
    const std::string title = "【雑談】なんでも雑談スレ その1";
    std::mt19937 random(20240501);
    const int count = 320;
    // Uneven gaps, scaled so that the thread runs from six days ago to an hour ago.
    std::vector<int64_t> gaps(count);
    int64_t total = 0;
    for (int64_t& gap : gaps) {
        gap = 60 + static_cast<int64_t>(random() % 3600);
        total += gap;
    }
    const int64_t span = 6 * kDay - kHour;
    int64_t stamp = now - 6 * kDay;
    std::vector<std::string> ids;
    for (int i = 0; i < count; ++i) {
        // Two records share a stamp, as nodes allow.
        if (i != 101) {
            stamp += gaps[i] * span / total;
        }
        Post post;
        post.body = kChatter[random() % kChatter.size()];
        if (i == 0) {
            post.body = "なんでも気軽に書き込んでください。\nルールは「仲良く」だけです。";
            post.name = "スレ主";
        } else if (!ids.empty() && random() % 7 == 0) {
            post.body = ">>" + ids[random() % ids.size()] + "\n" + post.body;
        }
        if (i != 0) {
            post.name = kNames[random() % kNames.size()];
        }
        if (random() % 5 == 0) {
            post.mail = "sage";
        }
        if (i == 101) {
            post.body = "同じ時刻の書き込みです。";
        }
        ids.push_back(builder.add(title, stamp, post));
    }
}

void imageThread(Builder& builder, int64_t now) {
    const std::string title = "【画像】お気に入りの画像を貼るスレ";
    builder.add(title, now - 3 * kDay,
                {"画像はファイルを添付して貼ってください。", "", "", "", ""});
    builder.add(title, now - 3 * kDay + 2 * kHour, {"楽しみにしてます。", "", "", "", ""});
    Post moon{"満月の絵を描いてみました。", "月見", "", std::string(NodeSamples::png()), "png"};
    builder.add(title, now - 2 * kDay, moon);
    builder.add(title, now - 2 * kDay + 40 * 60, {"きれい！", "", "sage", "", ""});
}

void newsThread(Builder& builder, int64_t now) {
    const std::string title = "【ニュース】【お知らせ】ローカルノードを動かしました";
    builder.add(title, now - 4 * kDay,
                {"このノードは 127.0.0.1 で動く、手元だけのノードです。\n"
                 "ほかのノードとは通信しません。",
                 "管理人", "", "", ""});
    builder.add(title, now - 4 * kDay + 3 * kHour,
                {"了解です &hearts; 試しに書き込んでみます。", "", "", "", ""});
    builder.add(title, now - 3 * kDay,
                {"タグ付きのタイトルはスレッド一覧のタグ欄で絞り込めます。", "管理人", "", "", ""});
    builder.add(title, now - 1 * kDay,
                {"<script>alert(1)</script> と書いてもただの文字になります。", "", "", "", ""});
    builder.add(title, now - 5 * kHour, {"お知らせは以上です。", "管理人", "", "", ""});
}

void questionThread(Builder& builder, int64_t now) {
    const std::string title = "新月の使い方 (質問スレ)";
    const std::array<std::pair<const char*, const char*>, 6> exchange = {{
        {"スレッドを読むにはどうすればいいですか？", "初心者"},
        {"一覧の行をダブルクリックすると開きます。", ""},
        {"新しいスレッドを立てるには？", "初心者"},
        {"ファイルメニューの新規スレッドからタイトルを入れます。", ""},
        {"書き込みに画像を付けられますか？", "初心者"},
        {"投稿フォームの「添付」で付けられます。\n【画像】スレに例があります。", ""},
    }};
    int64_t stamp = now - 5 * kDay;
    for (const auto& [body, name] : exchange) {
        stamp += 7 * kHour;
        builder.add(title, stamp, {body, name, "", "", ""});
    }
}

void dinnerThread(Builder& builder, int64_t now) {
    const std::string title = "【雑談】今日の晩ごはん";
    const std::array<const char*, 8> dinners = {
        "肉じゃが", "焼き魚と味噌汁",   "ラーメン", "オムライス",
        "鍋",       "カレー（二日目）", "お寿司",   "冷やし中華",
    };
    int64_t stamp = now - 20 * kHour;
    for (const char* dinner : dinners) {
        stamp += 2 * kHour + 17 * 60;
        builder.add(title, stamp, {std::string(dinner) + "でした。", "", "", "", ""});
    }
}

void archiveThread(Builder& builder, int64_t now) {
    const std::string title = "過去ログ倉庫";
    builder.add(title, now - 21 * kDay, {"古いスレッドです。", "", "", "", ""});
    builder.add(title, now - 20 * kDay, {"しばらく書き込みがありません。", "", "", "", ""});
    builder.add(title, now - 20 * kDay + kHour, {"新着には出てきません。", "", "sage", "", ""});
}

} // namespace

std::string_view NodeSamples::png() {
    return {reinterpret_cast<const char*>(kSamplePng), kSamplePngSize};
}

std::vector<std::string> NodeSamples::emptyThreads() {
    return {"【テスト】書き込みのないスレッド"};
}

std::vector<std::pair<std::string, NodeRecord>> NodeSamples::records(int64_t now) {
    std::vector<std::pair<std::string, NodeRecord>> out;
    Builder builder(out);
    chatThread(builder, now);
    imageThread(builder, now);
    newsThread(builder, now);
    questionThread(builder, now);
    dinnerThread(builder, now);
    archiveThread(builder, now);
    return out;
}

void NodeSamples::seed(NodeStore& store, int64_t now) {
    store.addRecords(records(now));
    for (const std::string& title : emptyThreads()) {
        store.registerThread(title, now - 2 * kHour);
    }
}

} // namespace bryndle
