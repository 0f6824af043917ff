#include "app/cp932.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace vantrel {
namespace {

struct Character {
  std::uint16_t code;       // code page 932: lead byte, trail byte
  std::uint16_t codePoint;  // Unicode
};

// Every double-byte character of the program's own texts, sorted by code;
// made by tools/cp932_table.py.
constexpr Character kCharacters[] = {
    {0x8140, 0x3000},  // 　
    {0x8141, 0x3001},  // 、
    {0x8142, 0x3002},  // 。
    {0x8146, 0xFF1A},  // ：
    {0x8148, 0xFF1F},  // ？
    {0x815B, 0x30FC},  // ー
    {0x8160, 0xFF5E},  // ～
    {0x8169, 0xFF08},  // （
    {0x816A, 0xFF09},  // ）
    {0x81A6, 0x203B},  // ※
    {0x82A0, 0x3042},  // あ
    {0x82A2, 0x3044},  // い
    {0x82A4, 0x3046},  // う
    {0x82A6, 0x3048},  // え
    {0x82A8, 0x304A},  // お
    {0x82A9, 0x304B},  // か
    {0x82AA, 0x304C},  // が
    {0x82AB, 0x304D},  // き
    {0x82AD, 0x304F},  // く
    {0x82AF, 0x3051},  // け
    {0x82B1, 0x3053},  // こ
    {0x82B2, 0x3054},  // ご
    {0x82B3, 0x3055},  // さ
    {0x82B5, 0x3057},  // し
    {0x82B6, 0x3058},  // じ
    {0x82B7, 0x3059},  // す
    {0x82B8, 0x305A},  // ず
    {0x82B9, 0x305B},  // せ
    {0x82BB, 0x305D},  // そ
    {0x82BD, 0x305F},  // た
    {0x82BE, 0x3060},  // だ
    {0x82C1, 0x3063},  // っ
    {0x82C2, 0x3064},  // つ
    {0x82C4, 0x3066},  // て
    {0x82C5, 0x3067},  // で
    {0x82C6, 0x3068},  // と
    {0x82C8, 0x306A},  // な
    {0x82C9, 0x306B},  // に
    {0x82CC, 0x306E},  // の
    {0x82CD, 0x306F},  // は
    {0x82CE, 0x3070},  // ば
    {0x82CF, 0x3071},  // ぱ
    {0x82D1, 0x3073},  // び
    {0x82D4, 0x3076},  // ぶ
    {0x82D7, 0x3079},  // べ
    {0x82DC, 0x307E},  // ま
    {0x82DD, 0x307F},  // み
    {0x82DF, 0x3081},  // め
    {0x82E0, 0x3082},  // も
    {0x82E2, 0x3084},  // や
    {0x82E6, 0x3088},  // よ
    {0x82E7, 0x3089},  // ら
    {0x82E8, 0x308A},  // り
    {0x82E9, 0x308B},  // る
    {0x82EA, 0x308C},  // れ
    {0x82ED, 0x308F},  // わ
    {0x82F0, 0x3092},  // を
    {0x82F1, 0x3093},  // ん
    {0x8340, 0x30A1},  // ァ
    {0x8342, 0x30A3},  // ィ
    {0x8343, 0x30A4},  // イ
    {0x8348, 0x30A9},  // ォ
    {0x8349, 0x30AA},  // オ
    {0x834E, 0x30AF},  // ク
    {0x834F, 0x30B0},  // グ
    {0x8350, 0x30B1},  // ケ
    {0x8356, 0x30B7},  // シ
    {0x8357, 0x30B8},  // ジ
    {0x8358, 0x30B9},  // ス
    {0x8359, 0x30BA},  // ズ
    {0x835A, 0x30BB},  // セ
    {0x835C, 0x30BD},  // ソ
    {0x835E, 0x30BF},  // タ
    {0x8360, 0x30C1},  // チ
    {0x8362, 0x30C3},  // ッ
    {0x8365, 0x30C6},  // テ
    {0x8366, 0x30C7},  // デ
    {0x8367, 0x30C8},  // ト
    {0x8368, 0x30C9},  // ド
    {0x836C, 0x30CD},  // ネ
    {0x836F, 0x30D0},  // バ
    {0x8374, 0x30D5},  // フ
    {0x8376, 0x30D7},  // プ
    {0x8377, 0x30D8},  // ヘ
    {0x8378, 0x30D9},  // ベ
    {0x837C, 0x30DD},  // ポ
    {0x837D, 0x30DE},  // マ
    {0x8380, 0x30E0},  // ム
    {0x8381, 0x30E1},  // メ
    {0x8383, 0x30E3},  // ャ
    {0x8387, 0x30E7},  // ョ
    {0x8389, 0x30E9},  // ラ
    {0x838A, 0x30EA},  // リ
    {0x838B, 0x30EB},  // ル
    {0x8393, 0x30F3},  // ン
    {0x88C8, 0x4EE5},  // 以
    {0x88CA, 0x4F4D},  // 位
    {0x88EA, 0x4E00},  // 一
    {0x88F8, 0x5F15},  // 引
    {0x899E, 0x5FDC},  // 応
    {0x89B9, 0x97F3},  // 音
    {0x89BF, 0x4FA1},  // 価
    {0x89C2, 0x53EF},  // 可
    {0x89F0, 0x89E3},  // 解
    {0x89F1, 0x56DE},  // 回
    {0x89FC, 0x6539},  // 改
    {0x8A4F, 0x5916},  // 外
    {0x8A84, 0x5272},  // 割
    {0x8AAE, 0x5B8C},  // 完
    {0x8AB7, 0x63DB},  // 換
    {0x8AD4, 0x9593},  // 間
    {0x8B4C, 0x8A18},  // 記
    {0x8B4E, 0x8D77},  // 起
    {0x8BF3, 0x7A7A},  // 空
    {0x8C9F, 0x691C},  // 検
    {0x8CC0, 0x9650},  // 限
    {0x8CF8, 0x52B9},  // 効
    {0x8D73, 0x884C},  // 行
    {0x8D7E, 0x964D},  // 降
    {0x8D86, 0x53F7},  // 号
    {0x8D87, 0x5408},  // 合
    {0x8DB7, 0x5DEE},  // 差
    {0x8DC5, 0x6700},  // 最
    {0x8E67, 0x4F7F},  // 使
    {0x8E6E, 0x59CB},  // 始
    {0x8E71, 0x5B50},  // 子
    {0x8E77, 0x6307},  // 指
    {0x8E7E, 0x6B62},  // 止
    {0x8E9E, 0x6642},  // 時
    {0x8EA6, 0x793A},  // 示
    {0x8EDF, 0x91C8},  // 釈
    {0x8EE3, 0x5F31},  // 弱
    {0x8F49, 0x7D42},  // 終
    {0x8F64, 0x91CD},  // 重
    {0x8F6F, 0x51FA},  // 出
    {0x8F71, 0x8FF0},  // 述
    {0x8F89, 0x521D},  // 初
    {0x8F91, 0x66F8},  // 書
    {0x8FAC, 0x5C0F},  // 小
    {0x8FC8, 0x7701},  // 省
    {0x8FE3, 0x4E0A},  // 上
    {0x9046, 0x8272},  // 色
    {0x9094, 0x6570},  // 数
    {0x90AE, 0x6574},  // 整
    {0x90B3, 0x6B63},  // 正
    {0x90BA, 0x58F0},  // 声
    {0x90D8, 0x5207},  // 切
    {0x90DD, 0x8A2D},  // 設
    {0x90DF, 0x7BC0},  // 節
    {0x90FC, 0x7DDA},  // 線
    {0x9149, 0x9078},  // 選
    {0x914F, 0x524D},  // 前
    {0x9153, 0x5168},  // 全
    {0x91B1, 0x7D9A},  // 続
    {0x91CE, 0x5BFE},  // 対
    {0x9250, 0x5358},  // 単
    {0x926C, 0x5024},  // 値
    {0x926D, 0x77E5},  // 知
    {0x9275, 0x7F6E},  // 置
    {0x9286, 0x4E2D},  // 中
    {0x92B2, 0x8ABF},  // 調
    {0x92B4, 0x8D85},  // 超
    {0x92B7, 0x9577},  // 長
    {0x92E8, 0x5B9A},  // 定
    {0x9372, 0x9014},  // 途
    {0x93AF, 0x540C},  // 同
    {0x93FC, 0x5165},  // 入
    {0x945C, 0x80FD},  // 能
    {0x948F, 0x62CD},  // 拍
    {0x9492, 0x767D},  // 白
    {0x94D4, 0x756A},  // 番
    {0x955C, 0x8868},  // 表
    {0x9562, 0x79D2},  // 秒
    {0x9573, 0x4E0D},  // 不
    {0x9574, 0x4ED8},  // 付
    {0x9584, 0x7B26},  // 符
    {0x9594, 0x90E8},  // 部
    {0x95A1, 0x8907},  // 複
    {0x95AA, 0x5206},  // 分
    {0x95C0, 0x4E26},  // 並
    {0x95CF, 0x5909},  // 変
    {0x95FB, 0x65B9},  // 方
    {0x9688, 0x6BCE},  // 毎
    {0x96A2, 0x672A},  // 未
    {0x96B3, 0x7121},  // 無
    {0x96BC, 0x540D},  // 名
    {0x96BD, 0x547D},  // 命
    {0x974C, 0x6709},  // 有
    {0x9797, 0x89A7},  // 覧
    {0x97AA, 0x7565},  // 略
    {0x97CA, 0x91CF},  // 量
    {0x97CD, 0x529B},  // 力
    {0x97DF, 0x4EE4},  // 令
    {0x97E1, 0x4F8B},  // 例
};

void appendUtf8(std::string& out, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | codePoint >> 6);
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | codePoint >> 12);
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

std::string cp932ToUtf8(std::string_view text) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      continue;
    }
    if (i + 1 == text.size()) {
      appendUtf8(out, kReplacement);
      break;
    }
    const auto trail = static_cast<std::uint8_t>(text[++i]);
    const std::uint16_t code = static_cast<std::uint16_t>(lead << 8 | trail);
    const auto found = std::lower_bound(
        std::begin(kCharacters), std::end(kCharacters), code,
        [](const Character& c, std::uint16_t wanted) { return c.code < wanted; });
    const bool known = found != std::end(kCharacters) && found->code == code;
    appendUtf8(out, known ? found->codePoint : kReplacement);
  }
  return out;
}

std::string cp932ToEucJp(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
    } else if (lead >= 0xA1 && lead <= 0xDF) {
      // Half-width katakana: one byte here, two there.
      out += '\x8E';
      out += static_cast<char>(lead);
    } else if (i + 1 < text.size()) {
      // Both encode the rows and cells of JIS X 0208: each lead byte holds
      // two rows, the trail byte tells which and the cell.
      const auto trail = static_cast<std::uint8_t>(text[++i]);
      int row = (lead <= 0x9F ? lead - 0x81 : lead - 0xC1) * 2 + 1;
      int cell = 0;
      if (trail >= 0x9F) {
        ++row;
        cell = trail - 0x9E;
      } else {
        cell = trail - (trail >= 0x80 ? 0x40 : 0x3F);
      }
      out += static_cast<char>(0xA0 + row);
      out += static_cast<char>(0xA0 + cell);
    }
  }
  return out;
}

}  // namespace vantrel
