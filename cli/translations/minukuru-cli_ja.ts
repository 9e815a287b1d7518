<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>Backtest</name>
    <message>
        <source>win probabilities normalised: the power or Shin equation has no solution</source>
        <translation>勝率は正規化で代用: べき乗または Shin の式に解がありません</translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>none of the %1 races could be read</source>
        <translation>%1 レースのどれも読み込めませんでした</translation>
    </message>
    <message>
        <source>usage: minukuru-cli list [FOLDER]
Prints the races of FOLDER (default: the PAT folder of the settings),
tab-separated, with a heading row.
Exit status 0 when the folder was listed, 1 when it cannot be read, 2 for
wrong usage.
</source>
        <translation>使い方: minukuru-cli list [FOLDER]
FOLDER (省略時は設定の PAT フォルダ) のレースを、見出し行を付けてタブ区切りで
表示します。
終了ステータス: 一覧すると 0、フォルダを読めないと 1、使い方の誤りで 2。
</translation>
    </message>
    <message>
        <source>usage: minukuru-cli watch ZO_FILE [--count N]
Loads the race, prints its recommended bets, then follows its files as
the window does: one line per reload with the time, &quot;reload N&quot;, the
recommended bets and each pair whose mark changed (bet type, pair,
old mark -&gt; new mark, &quot;-&quot; for none).  Failed reloads are printed and
not counted.
  --count N  stop after N reloads (default: run until Ctrl-C)
Exit status 0 at the end or on Ctrl-C, 1 when the race cannot be read,
2 for wrong usage.
</source>
        <translation>使い方: minukuru-cli watch ZO_FILE [--count N]
レースを読み込んで推奨買い目を表示し、ウィンドウと同じようにそのファイルを
追います: 読み直すたびに1行、時刻、&quot;reload N&quot;、推奨買い目、印の変わった組
(券種、組番、前の印 -&gt; 新しい印、印なしは &quot;-&quot;)。失敗した読み直しは表示し、
数えません。
  --count N  N 回読み直したら終える (省略時は Ctrl-C まで)
終了ステータス: 終わりまたは Ctrl-C で 0、レースを読み込めないと 1、
使い方の誤りで 2。
</translation>
    </message>
    <message>
        <source>the file name is not valid UTF-8 and cannot be opened: %1</source>
        <translation>ファイル名が UTF-8 として正しくないため開けません: %1</translation>
    </message>
    <message>
        <source>which race file?</source>
        <translation>どのレースファイルですか?</translation>
    </message>
    <message>
        <source>one race file only</source>
        <translation>レースファイルは一つだけです</translation>
    </message>
    <message>
        <source>give one race file</source>
        <translation>レースファイルを一つ指定してください</translation>
    </message>
    <message>
        <source>give at most one folder</source>
        <translation>フォルダは一つまでです</translation>
    </message>
    <message>
        <source>the folder name is not valid UTF-8 and cannot be opened</source>
        <translation>フォルダ名が UTF-8 として正しくないため開けません</translation>
    </message>
    <message>
        <source>%1 race file(s) left out: their names are not valid UTF-8</source>
        <translation>レースファイル %1 個を除きました: 名前が UTF-8 として正しくありません</translation>
    </message>
    <message>
        <source>settings file %1 is not a regular file; using the defaults</source>
        <translation>設定ファイル %1 は通常のファイルではありません。既定値を使います</translation>
    </message>
    <message>
        <source>settings file %1 cannot be read; using the defaults</source>
        <translation>設定ファイル %1 を読めません。既定値を使います</translation>
    </message>
    <message>
        <source>settings file %1 cannot be copied to the temporary folder; using the defaults</source>
        <translation>設定ファイル %1 を一時フォルダに複写できません。既定値を使います</translation>
    </message>
    <message>
        <source>--settings needs a file name</source>
        <translation>--settings にはファイル名が要ります</translation>
    </message>
    <message>
        <source>--model needs standard, harville or discount</source>
        <translation>--model には standard、harville または discount が要ります</translation>
    </message>
    <message>
        <source>%1 needs a file name</source>
        <translation>%1 にはファイル名が要ります</translation>
    </message>
    <message>
        <source>--ledger needs a file name</source>
        <translation>--ledger にはファイル名が要ります</translation>
    </message>
    <message>
        <source>--count needs a number</source>
        <translation>--count には数が要ります</translation>
    </message>
    <message>
        <source>--encoding needs sjis or utf-8</source>
        <translation>--encoding には sjis または utf-8 が要ります</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>知らないオプションです: %1</translation>
    </message>
    <message>
        <source>which command?</source>
        <translation>どのコマンドですか?</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>知らないコマンドです: %1</translation>
    </message>
    <message>
        <source>--count needs a number above 0</source>
        <translation>--count には 0 より大きい数が要ります</translation>
    </message>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>標準出力に書き出せません: %1</translation>
    </message>
    <message>
        <source>--win-probability needs normalised, power or shin</source>
        <translation>--win-probability には normalised、power または shin が要ります</translation>
    </message>
    <message>
        <source>no settled race with its first three among the %1 read</source>
        <translation>読み込んだ %1 レースに1-3着の分かる確定レースがありません</translation>
    </message>
    <message>
        <source>the estimates are outside the options&apos; ranges; nothing saved</source>
        <translation>推定値が設定の範囲外のため、保存しませんでした</translation>
    </message>
    <message>
        <source>the settings file cannot be written; nothing saved</source>
        <translation>設定ファイルに書き込めないため、保存しませんでした</translation>
    </message>
    <message>
        <source>usage: minukuru-cli fit [-r] [--json] [--win-probability METHOD] [--save]
                        [CONDITIONS] [PATH...]
Reads every race of the folders or files given (default: the PAT folder
of the settings) as the backtest does, takes the first three of each
settled race from its payouts (a dead heat or missing payouts leave a race
out, counted), and fits by maximum likelihood the discount model&apos;s
exponents λ2 and λ3 and the win exponent β of the corrected power method
(WinProbability=3), with standard errors; then, holding out every fifth
race, the held-out races&apos; mean log-likelihood of their first three under
Harville, the stored λ and the fitted λ.
  -r, --recursive           search the folders&apos; subfolders too
  --json                    the report as one JSON object
  --win-probability METHOD  fit λ2 and λ3 on normalised (the default),
                            power or shin win probabilities
  --save                    store the fitted λ2, λ3 and β in the options
The backtest&apos;s conditions choose the races: --course NAMES, --runners
MIN-MAX, --race-number MIN-MAX, --favourite MIN-MAX, --conditions TEXT.
Exit status 0 when the fit was made (and saved with --save), 1 when no
race was found or none gave its first three, or the estimates could not
be saved, 2 for wrong usage.
</source>
        <translation>使い方: minukuru-cli fit [-r] [--json] [--win-probability METHOD] [--save]
                        [CONDITIONS] [PATH...]
指定したフォルダまたはファイルのレースを (省略時は設定の PAT フォルダ)
backtest と同じように読み込み、確定レースごとに払戻から1-3着を取り
(同着や払戻の欠落があるレースは除いて数えます)、割引モデルの指数 λ2 と λ3、
補正累乗の勝率 (WinProbability=3) の指数 β を最尤法で標準誤差とともに
推定します。続けて5レース毎に1レースを除いて推定し、除いたレースの1-3着の
平均対数尤度を Harville、設定の λ、推定した λ で出します。
  -r, --recursive           サブフォルダも探す
  --json                    結果を一つの JSON オブジェクトで出す
  --win-probability METHOD  λ2 と λ3 を推定する勝率: normalised (省略時)、
                            power または shin
  --save                    推定した λ2、λ3、β を設定に保存する
レースは backtest の条件で選べます: --course NAMES、--runners MIN-MAX、
--race-number MIN-MAX、--favourite MIN-MAX、--conditions TEXT。
終了ステータス: 推定すれば (--save なら保存もすれば) 0、レースが見つからないか
1-3着の分かるレースが無いか推定値を保存できないと 1、使い方の誤りで 2。
</translation>
    </message>
    <message>
        <source>usage: minukuru-cli export RACE_FILE [--race KEY] [-o OUT.csv]
                           [--encoding ENCODING]
Loads the race as the program does and writes its CSV file (default: the
race file&apos;s base name with .csv in the current folder, with _KEY for a
race of a record file; -o - for standard output).  The race&apos;s own files
and anything but a regular file are never replaced.  RACE_FILE is a PAT
win/place odds file (Zo-*.jra) or a file of JV-Data records.
  --race KEY           the race of a record file of many: its 16-digit key
                       (year, month-day, course, meeting, day, race number)
  -o, --output FILE    the file to write, - for standard output
  --encoding ENCODING  sjis (Shift-JIS) or utf-8 (with a byte-order mark)
                       for this run instead of the settings&apos; CsvEncoding
Exit status 0 when the file was written, 1 otherwise, 2 for wrong usage.
</source>
        <translation>使い方: minukuru-cli export RACE_FILE [--race KEY] [-o OUT.csv]
                           [--encoding ENCODING]
プログラムと同じようにレースを読み込み、CSV ファイルを書き出します (省略時は
現在のフォルダに、レースファイルの拡張子を .csv にした名前で。レコード
ファイルのレースは _KEY を付けて。-o - で標準出力)。レース自身のファイルと
通常のファイルでないものは置き換えません。RACE_FILE は PAT の単複オッズ
ファイル (Zo-*.jra) または JV-Data のレコードファイルです。
  --race KEY           多くのレースを持つレコードファイルのレース: 16桁のキー
                       (年、月日、競馬場、回、日、レース番号)
  -o, --output FILE    書き出すファイル、- で標準出力
  --encoding ENCODING  この実行だけ設定の CsvEncoding に代えて sjis (Shift-JIS)
                       または utf-8 (バイトオーダーマーク付き)
終了ステータス: ファイルを書き出すと 0、それ以外は 1、使い方の誤りで 2。
</translation>
    </message>
    <message>
        <source>--race takes the race of a file of JV-Data records: %1</source>
        <translation>--race は JV-Data のレコードファイルのレースを指定します: %1</translation>
    </message>
    <message>
        <source>--race needs a race key of 16 digits, not %1</source>
        <translation>--race には16桁のレースキーが要ります (%1 ではなく)</translation>
    </message>
    <message>
        <source>no race with win/place odds in %1</source>
        <translation>%1 に単複オッズのあるレースがありません</translation>
    </message>
    <message>
        <source>%1 holds %2 races; name one with --race KEY:</source>
        <translation>%1 には %2 レースあります。--race KEY で一つ指定してください:</translation>
    </message>
    <message>
        <source>--race needs a race key</source>
        <translation>--race にはレースキーが要ります</translation>
    </message>
    <message>
        <source>usage: minukuru-cli [--settings FILE] COMMAND [ARGS]

Commands:
  export RACE_FILE [--race KEY] [-o OUT.csv] [--encoding ENCODING]
                               analyse a race and save it as CSV
  show RACE_FILE [--race KEY] [--matrix] [--place] [--ev]
                               print the analysis of a race
  list [FOLDER]                list the races of a PAT folder
  watch ZO_FILE [--count N]    follow a race as the terminal rewrites it
  backtest [-r] [--json] [--ledger FILE.csv] [--encoding ENCODING]
           [--models] [--course NAMES] [--runners MIN-MAX]
           [--race-number MIN-MAX] [--favourite MIN-MAX]
           [--conditions TEXT] [--breakdowns] [--seed N]
           [--resamples N] [--calibration] [--ev]
           [--staking METHOD] [--bankroll YEN] [--fraction F]
           [--kelly K] [--cap C] [PATH...]
                               what the marks and recommended bets
                               would have paid over past races
  fit [-r] [--json] [--win-probability METHOD] [--save] [CONDITIONS]
      [PATH...]
                               fit the price model&apos;s exponents to the
                               settled races

Options, before or after the command:
  --settings FILE  the settings file (else MINUKURU_SETTINGS when set,
                   else the user&apos;s own)
  --model MODEL    price with standard, harville or discount for this run
                   instead of the settings&apos; model
  -h, --help       this text, or a command&apos;s with the command
  --version        the program&apos;s version
Run &apos;minukuru-cli COMMAND --help&apos; for a command&apos;s options.
Exit status 0 on success, 1 when the command failed, 2 for wrong usage.
</source>
        <translation>使い方: minukuru-cli [--settings FILE] COMMAND [ARGS]

コマンド:
  export RACE_FILE [--race KEY] [-o OUT.csv] [--encoding ENCODING]
                               レースを分析して CSV に保存する
  show RACE_FILE [--race KEY] [--matrix] [--place] [--ev]
                               レースの分析を表示する
  list [FOLDER]                PAT フォルダのレースを一覧する
  watch ZO_FILE [--count N]    端末が書き換えるレースを追う
  backtest [-r] [--json] [--ledger FILE.csv] [--encoding ENCODING]
           [--models] [--course NAMES] [--runners MIN-MAX]
           [--race-number MIN-MAX] [--favourite MIN-MAX]
           [--conditions TEXT] [--breakdowns] [--seed N]
           [--resamples N] [--calibration] [--ev]
           [--staking METHOD] [--bankroll YEN] [--fraction F]
           [--kelly K] [--cap C] [PATH...]
                               過去のレースで印と推奨買い目が
                               いくら払い戻したかを出す
  fit [-r] [--json] [--win-probability METHOD] [--save] [CONDITIONS]
      [PATH...]
                               理論値モデルの指数を確定レースに
                               合わせて推定する

オプション (コマンドの前でも後でも):
  --settings FILE  設定ファイル (省略時は MINUKURU_SETTINGS があればそれ、
                   なければユーザーの設定)
  --model MODEL    この実行だけ設定の理論値モデルに代えて standard、
                   harville または discount で値付けする
  -h, --help       この説明 (コマンドと一緒ならそのコマンドの説明)
  --version        プログラムのバージョン
コマンドのオプションは &apos;minukuru-cli COMMAND --help&apos; で表示します。
終了ステータス: 成功で 0、コマンドが失敗すると 1、使い方の誤りで 2。
</translation>
    </message>
    <message>
        <source>usage: minukuru-cli show RACE_FILE [--race KEY] [--matrix] [--place] [--ev]
Prints the race header, the popularity tables, both pair grids, the
recommended bets and the result.  RACE_FILE is a PAT win/place odds file
(Zo-*.jra) or a file of JV-Data records.
  --race KEY  the race of a record file of many: its 16-digit key (year,
              month-day, course, meeting, day, race number); without it
              a record file must hold one race, else its keys are listed
  --matrix  then the pair matrix: umaren above the diagonal, wide below,
            each pair&apos;s deviation in whole percent and its mark
  --place   the place table with each horse&apos;s theoretical place price
            (0.8 over its chance of the first three, or the first two
            with 5 to 7 runners) under the price model; blank with 4
            runners or fewer
  --ev      the grids&apos; expected value column (as the ShowExpectedValue
            option gives it): the model&apos;s chance of the pair times its
            price, less 1; wide at the lower bound of its price
Exit status 0 when the race was shown, 1 when it cannot be read, 2 for
wrong usage.
</source>
        <translation>使い方: minukuru-cli show RACE_FILE [--race KEY] [--matrix] [--place] [--ev]
レースの見出し、人気順の表、馬連とワイドの表、推奨買い目と競争結果を表示します。
RACE_FILE は PAT の単複オッズファイル (Zo-*.jra) または JV-Data のレコード
ファイルです。
  --race KEY  多くのレースを持つレコードファイルのレース: 16桁のキー (年、
              月日、競馬場、回、日、レース番号)。無ければレコードファイルは
              1レースだけのもの、そうでなければそのキーを一覧します
  --matrix  続けてマトリクス: 対角線の右上が馬連、左下がワイド、各組の乖離％
            (整数) と印
  --place   複勝人気順の表に各馬の理論上の複勝オッズ (複理論) を加える:
            理論値モデルでの3着以内 (5-7頭立ては2着以内) の確率で 0.8 を
            割った値。4頭立て以下は空欄
  --ev      表に期待値の列を付ける (設定の ShowExpectedValue と同じ): 組の
            モデル確率×オッズ−1、ワイドはオッズの下限で
終了ステータス: 表示すると 0、レースを読み込めないと 1、使い方の誤りで 2。
</translation>
    </message>
    <message>
        <source>usage: minukuru-cli backtest [-r] [--json] [--ledger FILE.csv]
                             [--encoding ENCODING] [--models]
                             [--calibration] [--ev] [--staking METHOD]
                             [--bankroll YEN] [--fraction F] [--kelly K]
                             [--cap C] [PATH...]
Loads every race (Zo-*.jra) of the folders or files given (default: the
PAT folder of the settings) as the program does, and reports what its
recommended bets and marked pairs would have paid at 100 yen a bet,
by the race results&apos; payouts.
  -r, --recursive    search the folders&apos; subfolders too
  --json             the report as one JSON object
  --ledger FILE.csv  one CSV line per bet
  --encoding ENCODING
                     the ledger&apos;s: sjis (Shift-JIS) or utf-8 (with a
                     byte-order mark) instead of the settings&apos; CsvEncoding
  --models           compare the pricing models and the market on the
                     settled races (log loss, Brier score, returns)
  --calibration      the predicted chances (win, and the active model&apos;s
                     umaren and wide pairs) against how often they came
                     true, in bins with 95 % intervals
  --ev               two more ledger columns: each bet&apos;s model chance and
                     its expected value (wide at its lower price), as
                     the ShowExpectedValue option also gives them
  --breakdowns       the figures by course, field size, race number,
                     favourite&apos;s odds and popularity (the JSON has them
                     always)
Only races that meet every condition given take part:
  --course NAME[,NAME...]  the course as the race list shows it
  --runners MIN-MAX        horses not scratched
  --race-number MIN-MAX    the race&apos;s number
  --favourite MIN-MAX      the lowest win odds of the race
  --conditions TEXT        the race conditions contain TEXT
Ranges are inclusive; N alone is N-N.  The recommended bets staked from a
bankroll, race by race in the races&apos; order (report: staking):
  --staking METHOD   flat (the default: 100 yen a bet, no bankroll),
                     fraction (each bet a fixed fraction of the bankroll)
                     or kelly (fractional Kelly on the model&apos;s chance at
                     the market price; umaren bets as exclusive outcomes)
  --bankroll YEN     the bankroll at the start (default 100000)
  --fraction F       fraction&apos;s share of the bankroll a bet (default 0.01)
  --kelly K          the Kelly multiplier (default 0.25)
  --cap C            the most of the bankroll one race stakes (default
                     0.05); stakes round down to 100 yen
95 % intervals by resampling the settled races:
  --seed N           the draws&apos; seed (default 1)
  --resamples N      the draws (default 2000; 0: no intervals)
Each race counts once, however many paths lead to it.  The ledger never
replaces one of the races&apos; files or anything but a regular file.
Exit status 0 when at least one race was read, 1 when none was found or
none could be read (the reason on standard error) or the ledger could
not be written, 2 for wrong usage.
</source>
        <translation>使い方: minukuru-cli backtest [-r] [--json] [--ledger FILE.csv]
                             [--encoding ENCODING] [--models]
                             [--calibration] [--ev] [--staking METHOD]
                             [--bankroll YEN] [--fraction F] [--kelly K]
                             [--cap C] [PATH...]
指定したフォルダまたはファイルのレース (Zo-*.jra) をすべて (省略時は設定の
PAT フォルダ) プログラムと同じように読み込み、推奨買い目と印の付いた組を
1点100円で買っていればいくら払い戻したかを、競争結果の払戻から出します。
  -r, --recursive    サブフォルダも探す
  --json             結果を一つの JSON オブジェクトで出す
  --ledger FILE.csv  買い目ごとに1行の CSV
  --encoding ENCODING
                     買い目 CSV の文字コード: 設定の CsvEncoding に代えて
                     sjis (Shift-JIS) または utf-8 (バイトオーダーマーク付き)
  --models           確定レースで理論値モデルと市場を比べる (対数損失、
                     Brier スコア、回収)
  --calibration      予測した確率 (単勝と、理論値モデルの馬連とワイドの組)
                     を実際に当たった頻度と、区分ごとに 95 % 区間を付けて
                     比べる
  --ev               買い目 CSV に2列を足す: 買い目のモデル確率と期待値
                     (ワイドはオッズの下限で)。設定の ShowExpectedValue でも
                     付く
  --breakdowns       場名、頭数、レース番号、1番人気の単勝、人気別の数字も
                     出す (JSON には常にある)
指定した条件をすべて満たすレースだけが加わります:
  --course NAME[,NAME...]  レース一覧に出る場名
  --runners MIN-MAX        取消を除いた頭数
  --race-number MIN-MAX    レース番号
  --favourite MIN-MAX      レースの最低単勝オッズ
  --conditions TEXT        レース条件に TEXT を含む
範囲は両端を含み、N だけなら N-N。推奨買い目を資金から、レースの順に
賭けた場合 (結果は staking):
  --staking METHOD   flat (省略時: 1点100円、資金なし)、fraction (各買い目に
                     資金の一定割合) または kelly (モデル確率と市場オッズでの
                     分数ケリー、馬連の買い目は互いに排反な結果として)
  --bankroll YEN     初期資金 (省略時 100000)
  --fraction F       fraction で1点に賭ける資金の割合 (省略時 0.01)
  --kelly K          ケリーの倍率 (省略時 0.25)
  --cap C            1レースに賭ける資金の上限の割合 (省略時 0.05)。賭け金は
                     100円単位に切り捨て
95 % 区間は確定レースの再抽出から:
  --seed N           抽出の種 (省略時 1)
  --resamples N      抽出の回数 (省略時 2000、0 で区間なし)
同じレースは、いくつの指定から辿り着いても一度だけ数えます。買い目 CSV は
レースのファイルも、通常のファイルでないものも置き換えません。
終了ステータス: 1レース以上読み込めば 0、レースが見つからないか一つも
読み込めない (理由は標準エラー出力に) か買い目 CSV を書き出せないと 1、
使い方の誤りで 2。
</translation>
    </message>
</context>
<context>
    <name>FileChecks</name>
    <message>
        <source>a folder</source>
        <translation>フォルダ</translation>
    </message>
    <message>
        <source>a FIFO</source>
        <translation>FIFO</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>ソケット</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>デバイス</translation>
    </message>
    <message>
        <source>not a file</source>
        <translation>ファイルではない</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>ファイルが見つかりません</translation>
    </message>
    <message>
        <source>not a regular file (%1)</source>
        <translation>通常のファイルではありません (%1)</translation>
    </message>
    <message>
        <source>no such folder</source>
        <translation>フォルダが見つかりません</translation>
    </message>
    <message>
        <source>not a folder (%1)</source>
        <translation>フォルダではありません (%1)</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>通常のファイルではありません</translation>
    </message>
    <message>
        <source>not a folder</source>
        <translation>フォルダではありません</translation>
    </message>
    <message>
        <source>cannot be read</source>
        <translation>読めません</translation>
    </message>
</context>
<context>
    <name>JvRecordsText</name>
    <message>
        <source>its %1 record on line %2 is %3 bytes long before its line end, not %4</source>
        <translation>%2 行目の %1 レコードの長さが行末を除いて %4 バイトでなく %3 バイトです</translation>
    </message>
    <message>
        <source>its SE record on line %1 has the horse number &quot;%2&quot;</source>
        <translation>%1 行目の SE レコードの馬番が &quot;%2&quot; です</translation>
    </message>
    <message>
        <source>not a file of JV-Data records</source>
        <translation>JV-Data のレコードファイルではありません</translation>
    </message>
    <message>
        <source>more than %1 races</source>
        <translation>%1 レースを超えています</translation>
    </message>
    <message>
        <source>%1, race %2: %3</source>
        <translation>%1 のレース %2: %3</translation>
    </message>
    <message>
        <source>the file has changed since it was read</source>
        <translation>読み込んだ後にファイルが変わりました</translation>
    </message>
    <message>
        <source>its O1 record has horse number %1, more than 18</source>
        <translation>O1 レコードの馬番 %1 が18を超えています</translation>
    </message>
    <message>
        <source>its O1 record has %1 horses, more than 18</source>
        <translation>O1 レコードの頭数 %1 が18を超えています</translation>
    </message>
    <message>
        <source>%1 holds no race %2</source>
        <translation>%1 にレース %2 はありません</translation>
    </message>
</context>
<context>
    <name>RaceSearchText</name>
    <message>
        <source>cannot be listed</source>
        <translation>一覧できません</translation>
    </message>
    <message>
        <source>no race file in the folder</source>
        <translation>フォルダにレースファイルがありません</translation>
    </message>
    <message>
        <source>the same race as one counted already</source>
        <translation>数えたレースと同じレースです</translation>
    </message>
    <message>
        <source>no such file or folder: </source>
        <translation>ファイルもフォルダも見つかりません: </translation>
    </message>
    <message>
        <source>no such file or folder</source>
        <translation>ファイルもフォルダも見つかりません</translation>
    </message>
    <message>
        <source>skipped, the same race as one counted already: </source>
        <translation>数えたレースと同じレースのため除きました: </translation>
    </message>
    <message>
        <source>skipped, the same folder as one searched already: </source>
        <translation>探したフォルダと同じフォルダのため除きました: </translation>
    </message>
    <message>
        <source>the same folder as one searched already</source>
        <translation>探したフォルダと同じフォルダです</translation>
    </message>
    <message>
        <source>folder cannot be read (%1): %2</source>
        <translation>フォルダを読めません (%1): %2</translation>
    </message>
    <message>
        <source>%1 race file(s) left out, their names are not valid UTF-8: %2</source>
        <translation>レースファイル %1 個を除きました。名前が UTF-8 として正しくありません: %2</translation>
    </message>
    <message>
        <source>%1 subfolder(s) left out, their names are not valid UTF-8: %2</source>
        <translation>サブフォルダ %1 個を除きました。名前が UTF-8 として正しくありません: %2</translation>
    </message>
    <message>
        <source>record file cannot be read (%1): %2</source>
        <translation>レコードファイルを読めません (%1): %2</translation>
    </message>
    <message>
        <source>%1 line(s) that are no JV-Data record skipped: %2</source>
        <translation>JV-Data のレコードでない %1 行を飛ばしました: %2</translation>
    </message>
</context>
</TS>
