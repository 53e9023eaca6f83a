#include "resources/menu_tables.h"

namespace kelvor {
namespace {

constexpr MenuItemDef Separator{};

constexpr MenuItemDef MapFileItems[] = {
    {40001, "新規作成(&N)...", "Ctrl+N"},
    {40002, "開く(&O)...", "Ctrl+O"},
    Separator,
    {40003, "上書き保存(&S)", "Ctrl+S"},
    {40004, "名前を付けて保存(&A)...", ""},
    Separator,
    {40005, "終了(&X)", ""},
};

constexpr MenuItemDef MapEditItems[] = {
    {40006, "元に戻す(&U)", "Ctrl+Z"},
    {40007, "やり直し(&R)", "Ctrl+Y"},
    Separator,
    {40008, "線描(&L)", "Space"},
    {40009, "領域塗り(&B)", "Space"},
    Separator,
    {40010, "全体塗潰し(&F)", ""},
    Separator,
    {40011, "背景全消去(&E)", ""},
    {40012, "ﾚｲﾔｰ全消去(&A)", ""},
    {40013, "選択ﾌﾗｸﾞ全消去(&C)", ""},
    {40014, "当たり判定ﾌﾗｸﾞ全消去(&H)", ""},
    {40015, "ﾚｲﾔｰ優先度ﾌﾗｸﾞ全消去(&P)", ""},
    Separator,
    {40016, "ﾁｯﾌﾟｾｯﾄ最適化(&M)", ""},
};

constexpr MenuItemDef MapSettingsItems[] = {
    {40017, "ｻｲｽﾞ変更(&S)...", ""},
};

constexpr MenuItemDef MapViewItems[] = {
    {40018, "ﾚｲﾔｰ表示(&D)", ""},
    {40019, "ｸﾞﾘｯﾄﾞ表示(&G)", ""},
    Separator,
    {40020, "ﾁｯﾌﾟｾｯﾄ ｳｨﾝﾄﾞｳ表示(&S)", ""},
    {40321, "ｽﾃｰﾀｽ ﾊﾞｰ(&B)", ""},
    {40322, "全体図(&O)", ""},
};

constexpr MenuItemDef MapZoomItems[] = {
    {40021, "25%(&Q)", ""},  {40022, "50%(&H)", ""},  {40023, "75%(&I)", ""},
    {40024, "100%(&1)", ""}, {40025, "150%(&j)", ""}, {40026, "200%(&2)", ""},
};

constexpr MenuItemDef MapColorItems[] = {
    {40027, "属性選択枠(&F)...", ""}, {40028, "ｺﾋﾟｰ選択枠(&C)", ""},
    {40029, "選択解除枠(&F)", ""},    {40030, "境界線(&B)...", ""},
    {40031, "背景(&A)...", ""},       {40032, "当たり判定境界枠(&H)", ""},
};

constexpr MenuItemDef MapHelpItems[] = {
    {40033, "ﾍﾙﾌﾟ(&H)...", ""},
    Separator,
    {40034, "ﾊﾞｰｼﾞｮﾝ情報(&A)...", ""},
};

constexpr PopupDef MapPopups[] = {
    {"ﾌｧｲﾙ(&F)", MapFileItems}, {"編集(&E)", MapEditItems},     {"設定(&S)", MapSettingsItems},
    {"表示(&H)", MapViewItems}, {"表示倍率(&Z)", MapZoomItems}, {"色(&C)", MapColorItems},
    {"ﾍﾙﾌﾟ(&H)", MapHelpItems},
};

constexpr MenuItemDef ContextItems[] = {
    {40315, "背景ﾁｯﾌﾟ削除(&B)", "[B]+Click"},
    {40316, "ﾚｲﾔｰﾁｯﾌﾟ削除(&L)", "[L]+Click"},
    {40317, "背景ﾁｯﾌﾟ塗り削除(&K)", "[K]+Click"},
    {40318, "ﾚｲﾔｰﾁｯﾌﾟ塗り削除(&Y)", "[Y]+Click"},
    {40011, "背景全消去(&E)", ""},
    {40012, "ﾚｲﾔｰ全消去(&A)", ""},
    {40013, "選択ﾌﾗｸﾞ全消去(&C)", ""},
    {40014, "当たり判定ﾌﾗｸﾞ全消去(&H)", ""},
    {40015, "ﾚｲﾔｰ優先度ﾌﾗｸﾞ全消去(&P)", ""},
    Separator,
    {40319, "このﾁｯﾌﾟを置換(&T)", "[T]+Click"},
};

constexpr PopupDef ContextPopups[] = {
    {"編集(&E)", ContextItems},
};

constexpr MenuItemDef PaletteFileItems[] = {
    {40035, "再読み込み(&R)", ""},
    Separator,
    {40036, "", ""},
};

constexpr MenuItemDef PaletteModeItems[] = {
    {40292, "ﾁｯﾌﾟ配置(&U)", ""},
    {40293, "ﾚｲﾔｰ ﾌﾗｸﾞ(&L)", ""},
    {40294, "当たり判定(&H)", ""},
    {40295, "ﾚｲﾔｰ優先度(&P)", ""},
    Separator,
    {40320, "ﾗﾝﾀﾞﾑ配置(&R)", ""},
};

constexpr MenuItemDef PaletteEditItems[] = {
    {40296, "当たり判定ﾌﾗｸﾞを適用(&H)", ""},
    {40297, "ﾚｲﾔｰ優先度ﾌﾗｸﾞを適用(&P)", ""},
    {40298, "ﾌﾗｸﾞを両方とも適用(&A)", ""},
    Separator,
    {40299, "この画面のﾌﾗｸﾞを消去(&N)", ""},
    {40300, "このﾏｯﾌﾟﾁｯﾌﾟのﾌﾗｸﾞを総て消去(&M)", ""},
    {40301, "総てのﾌﾗｸﾞを消去(&L)", ""},
    Separator,
    {40302, "このﾏｯﾌﾟﾁｯﾌﾟのﾚｲﾔｰﾌﾗｸﾞを初期化(&I)", ""},
};

constexpr MenuItemDef PaletteSettingsItems[] = {
    {40303, "設定(&S)...", ""},
};

constexpr MenuItemDef PaletteZoomItems[] = {
    {40304, "50%(&H)", ""},  {40305, "75%(&I)", ""},  {40306, "100%(&1)", ""},
    {40307, "150%(&J)", ""}, {40308, "200%(&2)", ""},
};

constexpr MenuItemDef PaletteColorItems[] = {
    {40309, "選択枠(&S)...", ""}, {40310, "選択解除枠(&P)...", ""}, {40311, "境界線(&B)...", ""},
    {40312, "背景(&A)...", ""},   {40313, "透過(&T)...", ""},
};

constexpr PopupDef PalettePopups[] = {
    {"ﾌｧｲﾙ選択(&F)", PaletteFileItems}, {"編集選択(&E)", PaletteModeItems},
    {"編集(&D)", PaletteEditItems},     {"設定(&S)", PaletteSettingsItems},
    {"表示倍率(&Z)", PaletteZoomItems}, {"色(&C)", PaletteColorItems},
};

constexpr AcceleratorDef Accelerators[] = {
    {'N', true, 40001}, {'O', true, 40002}, {' ', false, 40314},
    {'Y', true, 40007}, {'Z', true, 40006},
};

}  // namespace

MenuDef LoadMenuDef(int32_t resourceId) {
  switch (resourceId) {
    case MenuMapWindow:
      return {resourceId, MapPopups};
    case MenuPaletteWindow:
      return {resourceId, PalettePopups};
    case MenuMapContext:
      return {resourceId, ContextPopups};
    default:
      return {};
  }
}

std::span<const AcceleratorDef> AcceleratorDefs() {
  return Accelerators;
}

}  // namespace kelvor
