<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>Kelvor</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)...</source>
        <translation>&amp;New...</translation>
    </message>
    <message>
        <source>開く(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>線描(&amp;L)</source>
        <translation>&amp;Stamp Brush</translation>
    </message>
    <message>
        <source>領域塗り(&amp;B)</source>
        <translation>&amp;Bucket Fill</translation>
    </message>
    <message>
        <source>全体塗潰し(&amp;F)</source>
        <translation>&amp;Fill Whole Map</translation>
    </message>
    <message>
        <source>背景全消去(&amp;E)</source>
        <translation>&amp;Erase All Background Chips</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ全消去(&amp;A)</source>
        <translation>Erase &amp;All Layer Chips</translation>
    </message>
    <message>
        <source>選択ﾌﾗｸﾞ全消去(&amp;C)</source>
        <translation>&amp;Clear Selection</translation>
    </message>
    <message>
        <source>当たり判定ﾌﾗｸﾞ全消去(&amp;H)</source>
        <translation>Clear All C&amp;ollision Flags</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ優先度ﾌﾗｸﾞ全消去(&amp;P)</source>
        <translation>Clear All &amp;Priority Flags</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟｾｯﾄ最適化(&amp;M)</source>
        <translation>Opti&amp;mize Chip Set</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>ｻｲｽﾞ変更(&amp;S)...</source>
        <translation>Map &amp;Size...</translation>
    </message>
    <message>
        <source>表示(&amp;H)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ表示(&amp;D)</source>
        <translation>Show &amp;Layer</translation>
    </message>
    <message>
        <source>ｸﾞﾘｯﾄﾞ表示(&amp;G)</source>
        <translation>Show &amp;Grid</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟｾｯﾄ ｳｨﾝﾄﾞｳ表示(&amp;S)</source>
        <translation>Show Chip &amp;Palette</translation>
    </message>
    <message>
        <source>表示倍率(&amp;Z)</source>
        <translation>&amp;Zoom</translation>
    </message>
    <message>
        <source>25%(&amp;Q)</source>
        <translation>25%(&amp;Q)</translation>
    </message>
    <message>
        <source>50%(&amp;H)</source>
        <translation>50%(&amp;H)</translation>
    </message>
    <message>
        <source>75%(&amp;I)</source>
        <translation>75%(&amp;I)</translation>
    </message>
    <message>
        <source>100%(&amp;1)</source>
        <translation>100%(&amp;1)</translation>
    </message>
    <message>
        <source>150%(&amp;j)</source>
        <translation>150%(&amp;J)</translation>
    </message>
    <message>
        <source>200%(&amp;2)</source>
        <translation>200%(&amp;2)</translation>
    </message>
    <message>
        <source>色(&amp;C)</source>
        <translation>&amp;Colors</translation>
    </message>
    <message>
        <source>属性選択枠(&amp;F)...</source>
        <translation>&amp;Flag Frames...</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ選択枠(&amp;C)</source>
        <translation>&amp;Selection Frames...</translation>
    </message>
    <message>
        <source>選択解除枠(&amp;F)</source>
        <translation>&amp;Deselection Frame...</translation>
    </message>
    <message>
        <source>境界線(&amp;B)...</source>
        <translation>&amp;Grid Lines...</translation>
    </message>
    <message>
        <source>背景(&amp;A)...</source>
        <translation>&amp;Background...</translation>
    </message>
    <message>
        <source>当たり判定境界枠(&amp;H)</source>
        <translation>&amp;Wall Handles...</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)...</source>
        <translation>Kelvor &amp;Help...</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About Kelvor...</translation>
    </message>
    <message>
        <source>背景ﾁｯﾌﾟ削除(&amp;B)</source>
        <translation>Erase &amp;Background Chip</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰﾁｯﾌﾟ削除(&amp;L)</source>
        <translation>Erase &amp;Layer Chip</translation>
    </message>
    <message>
        <source>背景ﾁｯﾌﾟ塗り削除(&amp;K)</source>
        <translation>Erase Bac&amp;kground Area</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰﾁｯﾌﾟ塗り削除(&amp;Y)</source>
        <translation>Erase La&amp;yer Area</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ選択(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>再読み込み(&amp;R)</source>
        <translation>&amp;Reload</translation>
    </message>
    <message>
        <source>編集選択(&amp;E)</source>
        <translation>&amp;Mode</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟ配置(&amp;U)</source>
        <translation>Chip &amp;Placement</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ ﾌﾗｸﾞ(&amp;L)</source>
        <translation>&amp;Layer Flag</translation>
    </message>
    <message>
        <source>当たり判定(&amp;H)</source>
        <translation>&amp;Collision</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ優先度(&amp;P)</source>
        <translation>Layer P&amp;riority</translation>
    </message>
    <message>
        <source>編集(&amp;D)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>当たり判定ﾌﾗｸﾞを適用(&amp;H)</source>
        <translation>Apply &amp;Collision Flags to Map</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ優先度ﾌﾗｸﾞを適用(&amp;P)</source>
        <translation>Apply &amp;Priority Flags to Map</translation>
    </message>
    <message>
        <source>ﾌﾗｸﾞを両方とも適用(&amp;A)</source>
        <translation>Apply &amp;Both Flags to Map</translation>
    </message>
    <message>
        <source>この画面のﾌﾗｸﾞを消去(&amp;N)</source>
        <translation>Clear This &amp;Mode's Flags</translation>
    </message>
    <message>
        <source>このﾏｯﾌﾟﾁｯﾌﾟのﾌﾗｸﾞを総て消去(&amp;M)</source>
        <translation>Clear All Flags of This &amp;Sheet</translation>
    </message>
    <message>
        <source>総てのﾌﾗｸﾞを消去(&amp;L)</source>
        <translation>Clear Flags of &amp;All Sheets</translation>
    </message>
    <message>
        <source>このﾏｯﾌﾟﾁｯﾌﾟのﾚｲﾔｰﾌﾗｸﾞを初期化(&amp;I)</source>
        <translation>&amp;Initialize Layer Flags of This Sheet</translation>
    </message>
    <message>
        <source>設定(&amp;S)...</source>
        <translation>Chip Set &amp;Folder...</translation>
    </message>
    <message>
        <source>150%(&amp;J)</source>
        <translation>150%(&amp;J)</translation>
    </message>
    <message>
        <source>選択枠(&amp;S)...</source>
        <translation>&amp;Selection Frames...</translation>
    </message>
    <message>
        <source>選択解除枠(&amp;P)...</source>
        <translation>&amp;Deselection Frame...</translation>
    </message>
    <message>
        <source>透過(&amp;T)...</source>
        <translation>&amp;Transparency...</translation>
    </message>
    <message>
        <source>%s    使用ﾁｯﾌﾟ数：%3d/%d(背景), %3d/%d(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数：%2d/%d</source>
        <translation>%s    Chips used: %3d/%d (background), %3d/%d (layer)    Files used: %2d/%d</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟ配置</source>
        <translation>Chip Placement</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ ﾌﾗｸﾞ</source>
        <translation>Layer Flag</translation>
    </message>
    <message>
        <source>当たり判定</source>
        <translation>Collision</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ優先度</source>
        <translation>Layer Priority</translation>
    </message>
    <message>
        <source>Kelvor ver.%s</source>
        <translation>Version %s</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟｾｯﾄ ﾌｧｲﾙの入っているﾌｫﾙﾀﾞを指定してください</source>
        <translation>Choose the folder that holds the chip set images</translation>
    </message>
    <message>
        <source>ファイルを作成できません</source>
        <translation>Cannot create the file.</translation>
    </message>
    <message>
        <source>ファイルを保存できません</source>
        <translation>Cannot save the file.</translation>
    </message>
    <message>
        <source>ファイルを読み込めません</source>
        <translation>Cannot read the file.</translation>
    </message>
    <message>
        <source>ファイル バージョンが違います</source>
        <translation>This file was made by an unsupported version.</translation>
    </message>
    <message>
        <source>以下の画像ファイルがありません</source>
        <translation>These image files are missing</translation>
    </message>
    <message>
        <source>ビットマップ形式で保存します</source>
        <translation>The image will be saved in BMP format.</translation>
    </message>
    <message>
        <source>終了しますか？</source>
        <translation>Exit Kelvor?</translation>
    </message>
    <message>
        <source>変更が保存されていません。保存しますか？</source>
        <translation>The changes have not been saved. Save them?</translation>
    </message>
    <message>
        <source>当たり判定ﾌﾗｸﾞ全消去は[元に戻す]が使えませんが実行しますか？</source>
        <translation>Clearing all collision flags cannot be undone with [Undo]. Clear them anyway?</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ優先度ﾌﾗｸﾞ全消去は[元に戻す]が使えませんが実行しますか？</source>
        <translation>Clearing all layer priority flags cannot be undone with [Undo]. Clear them anyway?</translation>
    </message>
    <message>
        <source>チップセット フォルダがありません
[設定]で指定してください
%s</source>
        <translation>The chip set folder is missing.
Please choose one under [Settings] in the chip palette.
%s</translation>
    </message>
    <message>
        <source>%1 は既に存在します。
上書きしますか？</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>保存するファイルの種類を選んでください</source>
        <translation>Please choose the type of file to save.</translation>
    </message>
    <message>
        <source>幅と高さには 0 から 16384 までの数を入れてください</source>
        <translation>Please enter a number from 0 to 16384 for both width and height.</translation>
    </message>
    <message>
        <source>このサイズのマップを作るメモリがありません</source>
        <translation>There is not enough memory for a map of this size.</translation>
    </message>
    <message>
        <source>KV ファイル (*.kv)</source>
        <translation>KV documents (*.kv)</translation>
    </message>
    <message>
        <source>すべてのファイル (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>KV ファイル（バイナリ形式） (*.kv)</source>
        <translation>KV document, binary (*.kv)</translation>
    </message>
    <message>
        <source>KV ファイル（テキスト形式） (*.kv)</source>
        <translation>KV document, text (*.kv)</translation>
    </message>
    <message>
        <source>マップファイル (*.bin)</source>
        <translation>Map data (*.bin)</translation>
    </message>
    <message>
        <source>背景ビットマップ (*.bmp)</source>
        <translation>Background atlas, BMP (*.bmp)</translation>
    </message>
    <message>
        <source>背景PNG (*.png)</source>
        <translation>Background atlas, PNG (*.png)</translation>
    </message>
    <message>
        <source>レイヤービットマップ (*.bmp)</source>
        <translation>Layer atlas, BMP (*.bmp)</translation>
    </message>
    <message>
        <source>レイヤーPNG (*.png)</source>
        <translation>Layer atlas, PNG (*.png)</translation>
    </message>
    <message>
        <source>マップビットマップ (*.bmp)</source>
        <translation>Map image, BMP (*.bmp)</translation>
    </message>
    <message>
        <source>マップPNG (*.png)</source>
        <translation>Map image, PNG (*.png)</translation>
    </message>
    <message>
        <source>前回終了時に保存されていなかった編集内容があります
ファイル：%s
時刻：%s
復元しますか？</source>
        <translation>Kelvor ended last time with changes that were not saved.
File: %s
Time: %s
Restore them?</translation>
    </message>
    <message>
        <source>（名前なし）</source>
        <translation>(untitled)</translation>
    </message>
    <message>
        <source>復元用ファイルが壊れていたため削除しました</source>
        <translation>The recovery copy was damaged and has been deleted.</translation>
    </message>
    <message>
        <source>TMX ﾏｯﾌﾟ (*.tmx)</source>
        <translation>TMX map (*.tmx)</translation>
    </message>
    <message>
        <source>JSON ﾏｯﾌﾟ (*.tmj)</source>
        <translation>JSON map (*.tmj)</translation>
    </message>
    <message>
        <source>説明書を開けません
以下の場所を探しました
%s</source>
        <translation>The manual cannot be opened.
These places were searched:
%s</translation>
    </message>
    <message>
        <source>ﾗﾝﾀﾞﾑ配置(&amp;R)</source>
        <translation>Ra&amp;ndom Placement</translation>
    </message>
    <message>
        <source>このﾁｯﾌﾟを置換(&amp;T)</source>
        <translation>Replace &amp;This Chip</translation>
    </message>
    <message>
        <source>%d 個のﾏｽを置換しました</source>
        <translation>%d cells were replaced</translation>
    </message>
    <message>
        <source>%d 個のﾏｽがﾏｯﾌﾟの外に出て失われますが移動しますか？</source>
        <translation>%d cells would move off the map and be lost. Move anyway?</translation>
    </message>
    <message>
        <source> [ﾗﾝﾀﾞﾑ]</source>
        <translation> [Random]</translation>
    </message>
    <message>
        <source>ﾗﾝﾀﾞﾑ配置</source>
        <translation>Random placement</translation>
    </message>
    <message>
        <source>TMX/JSON ﾏｯﾌﾟ (*.tmx *.tmj *.json)</source>
        <translation>TMX/JSON maps (*.tmx *.tmj *.json)</translation>
    </message>
    <message>
        <source>正方向(orthogonal)以外のﾏｯﾌﾟは読み込めません
%s</source>
        <translation>Only orthogonal maps can be opened
%s</translation>
    </message>
    <message>
        <source>ﾀｲﾙの大きさが 32 x 32 ではありません
%s</source>
        <translation>The tiles are not 32 x 32
%s</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟのﾚｲﾔｰが 2 つより多くあります
%s</source>
        <translation>The map has more than two chip layers
%s</translation>
    </message>
    <message>
        <source>ﾏｯﾌﾟが 16384 x 16384 より大きいです
%s</source>
        <translation>The map is larger than 16384 x 16384
%s</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟが 255 個を超えます
%s</source>
        <translation>More than 255 chips on one level
%s</translation>
    </message>
    <message>
        <source>画像ﾌｧｲﾙが 256 個を超えます%s</source>
        <translation>More than 256 image files%s</translation>
    </message>
    <message>
        <source>反転・回転したﾀｲﾙは読み込めません
%s</source>
        <translation>Flipped or rotated tiles cannot be opened
%s</translation>
    </message>
    <message>
        <source>ﾀｲﾙｾｯﾄの画像を読み込めません
%s</source>
        <translation>A tileset image cannot be read
%s</translation>
    </message>
    <message>
        <source>ﾀｲﾙｾｯﾄの画像から 32 x 32 のﾁｯﾌﾟが取れません
%s</source>
        <translation>A tileset image does not give whole 32 x 32 chips
%s</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟｾｯﾄ ﾌｫﾙﾀﾞに同じ名前の別の画像があります
%s</source>
        <translation>The chip-set folder holds another image of the same name
%s</translation>
    </message>
    <message>
        <source>ﾏｯﾌﾟにﾀｲﾙがありません%s</source>
        <translation>The map holds no tiles%s</translation>
    </message>
    <message>
        <source>ｵﾌﾞｼﾞｪｸﾄ ﾚｲﾔｰと画像ﾚｲﾔｰは読み込みません</source>
        <translation>Object layers and image layers are not read</translation>
    </message>
    <message>
        <source>%d 個の画像をﾁｯﾌﾟｾｯﾄ ﾌｫﾙﾀﾞにｺﾋﾟｰします</source>
        <translation>%d images will be copied into the chip-set folder</translation>
        <source>ｽﾃｰﾀｽ ﾊﾞｰ(&amp;B)</source>
        <translation>Status &amp;Bar</translation>
    </message>
    <message>
        <source>全体図(&amp;O)</source>
        <translation>&amp;Overview</translation>
    </message>
    <message>
        <source>全体図</source>
        <translation>Overview</translation>
    </message>
    <message>
        <source>背景</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>ﾚｲﾔｰ</source>
        <translation>Layer</translation>
    </message>
    <message>
        <source>%s：なし</source>
        <translation>%s: none</translation>
    </message>
    <message>
        <source>%s %d：%s (%d, %d)</source>
        <translation>%s %d: %s (%d, %d)</translation>
    </message>
    <message>
        <source>右境界</source>
        <translation>Right wall</translation>
    </message>
    <message>
        <source>下境界</source>
        <translation>Bottom wall</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>ﾌﾗｸﾞ：%s</source>
        <translation>Flags: %s</translation>
    </message>
    <message>
        <source>変更あり</source>
        <translation>Modified</translation>
    </message>
</context>
<context>
    <name>ChipFolderDialog</name>
    <message>
        <source>ﾁｯﾌﾟｾｯﾄ設定</source>
        <translation>Chip Set Folder</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟｾｯﾄ ﾌｫﾙﾀﾞのﾊﾟｽ</source>
        <translation>Chip set folder:</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>MapSizeDialog</name>
    <message>
        <source>ﾏｯﾌﾟｻｲｽﾞ変更</source>
        <translation>Map Size</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟ数</source>
        <translation>Size in chips</translation>
    </message>
    <message>
        <source>幅</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>高さ</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TransparencyDialog</name>
    <message>
        <source>透過色設定</source>
        <translation>Transparent Color</translation>
    </message>
    <message>
        <source>透過色</source>
        <translation>Transparent color</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>あり</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>設定...</source>
        <translation>Choose...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
