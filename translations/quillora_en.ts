<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AdaptCommand</name>
    <message>
        <source>适应声音：%1%</source>
        <translation>Adapting to your voice: %1%</translation>
    </message>
    <message>
        <source>有 %1 对音频和文本未被使用（文本中有无法读出的词、音频太长或与文本对不上）。
</source>
        <translation>%1 pairs of audio and text were not used (a word in the text that cannot be read out, audio too long, or audio and text that do not match).
</translation>
    </message>
</context>
<context>
    <name>AdaptationText</name>
    <message>
        <source>已适应：%1 分钟的语音，%2</source>
        <translation>Adapted: %1 minutes of speech, %2</translation>
    </message>
    <message>
        <source>已取消适应声音，原来的声音模型仍在使用。</source>
        <translation>Adapting to your voice was cancelled; the previous voice model stays in use.</translation>
    </message>
    <message>
        <source>没有可用的句子：需要改正后保存过、带时间信息并且源音频仍在的文档，或音频与它的正确文本。</source>
        <translation>No usable sentence: it takes documents with timings, corrected and saved, whose source audio is still there, or audio with its correct text.</translation>
    </message>
    <message>
        <source>可用的语音只有 %1 秒，至少需要 %2 秒。</source>
        <translation>Only %1 s of usable speech; at least %2 s are needed.</translation>
    </message>
    <message>
        <source>音频与文本对不上：%1 个句子无法与它的音频对齐。</source>
        <translation>The audio and the text do not match: %1 sentences could not be aligned with their audio.</translation>
    </message>
    <message>
        <source>无法读取“%1”。</source>
        <translation>Cannot read “%1”.</translation>
    </message>
    <message>
        <source>适应声音的工具出错：%1</source>
        <translation>A tool adapting to the voice failed: %1</translation>
    </message>
    <message>
        <source>无法保存适应后的声音模型：%1</source>
        <translation>Cannot save the adapted voice model: %1</translation>
    </message>
    <message>
        <source>适应声音失败。%1原来的声音模型仍在使用。</source>
        <translation>Adapting to your voice failed. %1 The previous voice model stays in use.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>不打开窗口，把音频或视频文件转换为文本文档。</source>
        <translation>Converts audio or video files to text documents without opening the window.</translation>
    </message>
    <message>
        <source>转换给出的文件，不打开窗口。</source>
        <translation>Convert the files given, without opening the window.</translation>
    </message>
    <message>
        <source>识别语言：%1，也可写语言选择框中的文字；默认为窗口上次选择的语言。</source>
        <translation>Recognition language: %1, or a text of the window&apos;s language selector; by default the language last chosen in the window.</translation>
    </message>
    <message>
        <source>文本文档保存到的文件夹；默认为数据文件夹中的 myWordFiles。</source>
        <translation>Folder to save the text documents in; by default myWordFiles in the data folder.</translation>
    </message>
    <message>
        <source>要转换的音频或视频文件，可给出多个。</source>
        <translation>Audio or video files to convert; more than one may be given.</translation>
    </message>
    <message>
        <source>用 quillora --help 查看用法。</source>
        <translation>See quillora --help for usage.</translation>
    </message>
    <message>
        <source>未知的选项：%1%2。%3</source>
        <translation>Unknown option: %1%2. %3</translation>
    </message>
    <message>
        <source>没有给出 --convert。%1</source>
        <translation>--convert was not given. %1</translation>
    </message>
    <message>
        <source>未知的语言“%1”，可用的语言：%2。</source>
        <translation>Unknown language &quot;%1&quot;; the languages are: %2.</translation>
    </message>
    <message>
        <source>--output-dir 需要一个文件夹。%1</source>
        <translation>--output-dir needs a folder. %1</translation>
    </message>
    <message>
        <source>没有给出要转换的文件。%1</source>
        <translation>No file to convert was given. %1</translation>
    </message>
    <message>
        <source>用法：</source>
        <translation>Usage: </translation>
    </message>
    <message>
        <source>选项：</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>参数：</source>
        <translation>Arguments:</translation>
    </message>
    <message>
        <source>显示本帮助。</source>
        <translation>Displays this help.</translation>
    </message>
    <message>
        <source>显示包括 Qt 选项的帮助。</source>
        <translation>Displays help including Qt specific options.</translation>
    </message>
    <message>
        <source>显示版本。</source>
        <translation>Displays version information.</translation>
    </message>
    <message>
        <source>
退出状态：0 全部转换完成，1 有文件未能转换（原因写在标准错误上），2 用法错误，
130/143 被 SIGINT/SIGTERM 中断（已识别的部分会保留，再次转换同一文件时继续）。
</source>
        <translation>
Exit status: 0 all converted, 1 some file not converted (the reason is on standard error), 2 usage error,
130/143 interrupted by SIGINT/SIGTERM (what was recognised is kept; converting the same file again resumes).
</translation>
    </message>
    <message>
        <source>已保存：%1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>写出的文件：txt（文本文档）、srt、vtt（字幕，与文本文档同名、同文件夹），可用逗号给出多个；默认为 txt。</source>
        <translation>Files to write: txt (text document), srt, vtt (subtitles, named after the document, in its folder); several separated by commas; txt by default.</translation>
    </message>
    <message>
        <source>未知的格式“%1”，可用的格式：txt、srt、vtt。</source>
        <translation>Unknown format “%1”; the formats are txt, srt, vtt.</translation>
    </message>
    <message>
        <source>本次转换使用的自定义词汇表（UTF-8，每行一个词语或短语，“=”后可写读音）；默认为窗口中“自定义词汇…”保存的词汇表。</source>
        <translation>The word list for this run (UTF-8, one word or phrase a line, a pronunciation after “=” if wanted); by default the list saved with “Custom words…” in the window.</translation>
    </message>
    <message>
        <source>--words 需要一个文件。%1</source>
        <translation>--words needs a file. %1</translation>
    </message>
    <message>
        <source>找不到词汇表“%1”。</source>
        <translation>Cannot find the word list “%1”.</translation>
    </message>
    <message>
        <source>区分说话人，文档按说话人分段并标注；N 为人数，不写时自动判断。</source>
        <translation>Tell speakers apart: the document in paragraphs by speaker, each labelled; N is how many, worked out when left out.</translation>
    </message>
    <message>
        <source>--speakers 的人数应为 1 到 9：“%1”。%2</source>
        <translation>--speakers takes a count from 1 to 9: &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>用给出的音频和它的正确文本（成对给出：音频 文本 音频 文本 …，文本为 UTF-8）适应我的声音，以后的转换都用适应后的声音模型。</source>
        <translation>Adapt to my voice from the audio given and its correct text (in pairs: audio text audio text ..., the texts in UTF-8); later conversions use the adapted voice model.</translation>
    </message>
    <message>
        <source>--adapt 不能与其他选项一起使用。%1</source>
        <translation>--adapt cannot be used with other options. %1</translation>
    </message>
    <message>
        <source>--adapt 需要成对的文件：音频 文本 [音频 文本 …]。%1</source>
        <translation>--adapt needs files in pairs: AUDIO TEXT [AUDIO TEXT ...]. %1</translation>
    </message>
</context>
<context>
    <name>ConversionCommand</name>
    <message>
        <source>转换已中断；已识别的部分已保留，再次转换同一文件时继续。
</source>
        <translation>Conversion interrupted; what was recognised is kept, and converting the same file again resumes.
</translation>
    </message>
    <message>
        <source>未转换。</source>
        <translation>Not converted.</translation>
    </message>
    <message>
        <source>无法创建或写入文件夹：%1</source>
        <translation>Cannot create or write to the folder: %1</translation>
    </message>
    <message>
        <source>没有时间信息</source>
        <translation>no timings</translation>
    </message>
    <message>
        <source>无法写入字幕文件“%1”（%2）。</source>
        <translation>Could not write the subtitle file “%1” (%2).</translation>
    </message>
    <message>
        <source>说话人 %1</source>
        <translation>Speaker %1</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
</context>
<context>
    <name>ConversionEngine</name>
    <message>
        <source>文件已经全部转换完成！</source>
        <translation>All files have been converted!</translation>
    </message>
    <message>
        <source>本机自带的离线语音服务只能识别英文。请选择“英文”，或配置在线语音服务后再转换其他语言。</source>
        <translation>The built-in offline speech service recognises English only. Choose &quot;English&quot;, or configure an online speech service to convert other languages.</translation>
    </message>
    <message>
        <source>请先添加需要转换的文件！</source>
        <translation>Please add the files to convert first!</translation>
    </message>
    <message>
        <source>认证中...</source>
        <translation>Signing in...</translation>
    </message>
    <message>
        <source>转换中...</source>
        <translation>Converting...</translation>
    </message>
    <message>
        <source>找不到文件“%1”，它可能已被移动或删除，已将其从任务列表中移除。</source>
        <translation>Cannot find the file &quot;%1&quot;; it may have been moved or deleted. It was removed from the task list.</translation>
    </message>
    <message>
        <source>无法保存文本文档“%1”（%2），该文件仍保留在任务列表中。</source>
        <translation>Cannot save the text document &quot;%1&quot; (%2); the file stays on the task list.</translation>
    </message>
    <message>
        <source>转写:%1%</source>
        <translation>Text:%1%</translation>
    </message>
    <message>
        <source>语音服务器返回了无法识别的错误码 %1，转换已停止！</source>
        <translation>The speech server returned an unknown error code %1; the conversion was stopped!</translation>
    </message>
    <message>
        <source>语音服务器的应答无法解析，转换已停止！</source>
        <translation>The speech server&apos;s reply could not be read; the conversion was stopped!</translation>
    </message>
    <message>
        <source>重申请: %1秒</source>
        <translation>Retry: %1 s</translation>
    </message>
    <message>
        <source>找不到 ffmpeg 程序，无法处理音频，请先安装 ffmpeg！</source>
        <translation>Cannot find the ffmpeg program to process the audio. Please install ffmpeg first!</translation>
    </message>
    <message>
        <source>无法启动 ffmpeg 程序，请检查 ffmpeg 是否安装完好！</source>
        <translation>Cannot start the ffmpeg program. Please check that ffmpeg is installed correctly!</translation>
    </message>
    <message>
        <source>磁盘空间已满，无法在文件夹“%1”中写入音频，请清理磁盘后再试！</source>
        <translation>The disk is full: cannot write audio in the folder &quot;%1&quot;. Please free some space and try again!</translation>
    </message>
    <message>
        <source>出现异常，请核验音频后再试！</source>
        <translation>Something went wrong. Please check the audio and try again!</translation>
    </message>
    <message>
        <source>预处理...</source>
        <translation>Preparing...</translation>
    </message>
    <message>
        <source>无法启动语音识别服务，请检查程序安装是否完整！</source>
        <translation>Cannot start the speech recognition service. Please check that the program is fully installed!</translation>
    </message>
    <message>
        <source>本机语音识别服务意外停止，转换已中断。请重新开始转换，程序会再次启动该服务。</source>
        <translation>The local speech recognition service stopped unexpectedly and the conversion was interrupted. Start the conversion again; the program starts the service again.</translation>
    </message>
    <message>
        <source>获取访问令牌失败：语音服务器的应答无法解析！</source>
        <translation>Failed to get an access token: the speech server&apos;s reply could not be read!</translation>
    </message>
    <message>
        <source>获取访问令牌超时！</source>
        <translation>Getting an access token timed out!</translation>
    </message>
    <message>
        <source>已将其从任务列表中移除。</source>
        <translation> It has been removed from the task list.</translation>
    </message>
    <message>
        <source>“%1”已被修改或不是本程序写入的，为免覆盖，新的文本已保存为“%2”。</source>
        <translation>&quot;%1&quot; was changed or was not written by Quillora; to keep it, the new text was saved as &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>等待语音服务响应...</source>
        <translation>Waiting for the speech service...</translation>
    </message>
    <message>
        <source>本机语音识别服务在 %1 秒内没有响应，转换已停止，请稍后重新开始转换！</source>
        <translation>The speech service on this computer did not answer within %1 seconds. The conversion was stopped; please start it again later.</translation>
    </message>
    <message>
        <source>区分说话人...</source>
        <translation>Telling speakers apart...</translation>
    </message>
    <message>
        <source>“%1”中只听出 %2 位说话人（要求 %3 位）。</source>
        <translation>Only %2 speakers were heard in &quot;%1&quot; (%3 asked for).</translation>
    </message>
    <message>
        <source>“%1”中只听出一位说话人，文档未标注说话人。</source>
        <translation>Only one speaker was heard in &quot;%1&quot;; the document has no speaker labels.</translation>
    </message>
    <message>
        <source>“%1”的语音太短，无法区分说话人；文档未标注说话人。</source>
        <translation>&quot;%1&quot; has too little speech to tell speakers apart; the document has no speaker labels.</translation>
    </message>
    <message>
        <source>无法读取“%1”的音频来区分说话人；文档未标注说话人。</source>
        <translation>The audio of &quot;%1&quot; could not be read to tell speakers apart; the document has no speaker labels.</translation>
    </message>
    <message>
        <source>正在使用的本机语音识别服务已随启动它的程序退出，且本程序无法另行启动该服务，转换已中断。已识别的部分已保留，请检查程序安装是否完整后重新开始转换。</source>
        <translation>The local speech recognition service in use has ended together with the program that started it, and this program could not start one of its own, so the conversion has stopped. What was recognised is kept; please check that the program is fully installed, then start the conversion again.</translation>
    </message>
</context>
<context>
    <name>DocumentPane</name>
    <message>
        <source>文档内容</source>
        <translation>Document text</translation>
    </message>
    <message>
        <source>
为免丢失文本区中尚未保存的文字，没有打开“%1”。</source>
        <translation>
So that the unsaved text in the text view is not lost, &quot;%1&quot; was not opened.</translation>
    </message>
    <message>
        <source>无法打开文档“%1”：%2</source>
        <translation>Cannot open the document &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>“%1”在别处被修改过。为免覆盖那些修改，文本区的文字已另存为“%2”。</source>
        <translation>&quot;%1&quot; was changed elsewhere. So as not to overwrite those changes, the text of the text view was saved as &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>Enter 下一个，Shift+Enter 上一个，Esc 关闭</source>
        <translation>Enter next, Shift+Enter previous, Esc close</translation>
    </message>
    <message>
        <source>在文档中查找</source>
        <translation>Find in document</translation>
    </message>
    <message>
        <source>查找结果</source>
        <translation>Find results</translation>
    </message>
    <message>
        <source>无结果</source>
        <translation>No results</translation>
    </message>
    <message>
        <source>重命名说话人…</source>
        <translation>Rename speaker…</translation>
    </message>
    <message>
        <source>重命名说话人</source>
        <translation>Rename speaker</translation>
    </message>
    <message>
        <source>说话人的名称不能为空！</source>
        <translation>A speaker&apos;s name cannot be empty!</translation>
    </message>
    <message>
        <source>说话人的名称不能换行！</source>
        <translation>A speaker&apos;s name cannot contain a line break!</translation>
    </message>
    <message>
        <source>说话人的名称不能含有“%1”，它用来隔开名称和说的话！</source>
        <translation>A speaker&apos;s name cannot contain “%1”: it separates the name from what was said!</translation>
    </message>
    <message>
        <source>已有说话人名为“%1”，请换一个名称！</source>
        <translation>Another speaker is already named “%1”. Please choose another name!</translation>
    </message>
    <message>
        <source>说话人已重命名，但无法记住“%1”的声音：%2</source>
        <translation>The speaker was renamed, but the voice of “%1” could not be remembered: %2</translation>
    </message>
    <message>
        <source>Ctrl+单击词语：从该词起播放原音频
F4：从光标处播放或暂停
Alt+←、Alt+→：后退、前进 5 秒</source>
        <translation>Ctrl+click a word: play the recording from that word
F4: play or pause from the cursor
Alt+Left, Alt+Right: back or forward 5 seconds</translation>
    </message>
    <message>
        <source>“%1”在别处被修改过，它的时间信息描述的是修改前的文字：不能再从词语播放，也不能导出字幕。重新转换原音频可以得到新的时间信息。</source>
        <translation>&quot;%1&quot; was changed elsewhere, and its timings describe the text as it was before: its words can no longer be played, nor its subtitles exported. Converting the original audio again gives new timings.</translation>
    </message>
    <message>
        <source>无法播放原音频：找不到文件“%1”，它可能已被移动或删除。</source>
        <translation>Cannot play the recording: the file “%1” was not found; it may have been moved or deleted.</translation>
    </message>
    <message>
        <source>自定义词汇…</source>
        <translation>Custom words…</translation>
    </message>
</context>
<context>
    <name>DocumentViewer</name>
    <message>
        <source>无法打开文档“%1”：文件含有二进制数据，不是文本文档！</source>
        <translation>Cannot open the document &quot;%1&quot;: the file holds binary data and is not a text document!</translation>
    </message>
    <message>
        <source>无法打开文档“%1”：文件编码既不是 UTF-8 也不是 GB18030！</source>
        <translation>Cannot open the document &quot;%1&quot;: the file is encoded neither in UTF-8 nor in GB18030!</translation>
    </message>
    <message>
        <source>文档保存失败：没有写入“%1”的权限！</source>
        <translation>Failed to save the document: no permission to write &quot;%1&quot;!</translation>
    </message>
    <message>
        <source>文档保存失败：磁盘空间已满，“%1”未能保存！</source>
        <translation>Failed to save the document: the disk is full and &quot;%1&quot; was not saved!</translation>
    </message>
    <message>
        <source>文档保存失败，文件可能正在被使用或为只读！</source>
        <translation>Failed to save the document; the file may be in use or read-only!</translation>
    </message>
</context>
<context>
    <name>InstallLayout</name>
    <message>
        <source>无法创建或写入数据文件夹：%1</source>
        <translation>Cannot create or write to the data folder: %1</translation>
    </message>
</context>
<context>
    <name>InstanceGuard</name>
    <message>
        <source>程序已经启动！</source>
        <translation>The program is already running!</translation>
    </message>
    <message>
        <source>程序启动错误！</source>
        <translation>The program failed to start!</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <source>中文近场</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>中文远场</source>
        <translation>Far-field</translation>
    </message>
    <message>
        <source>英文</source>
        <translation>English</translation>
    </message>
    <message>
        <source>粤语</source>
        <translation>Canton.</translation>
    </message>
    <message>
        <source>四川话</source>
        <translation>Sichuan</translation>
    </message>
</context>
<context>
    <name>LibraryPane</name>
    <message>
        <source>音频文件</source>
        <translation>Audio files</translation>
    </message>
    <message>
        <source>添加到任务</source>
        <translation>Add to tasks</translation>
    </message>
    <message>
        <source>文本文档</source>
        <translation>Documents</translation>
    </message>
    <message>
        <source>确定要删除该录音文件吗？</source>
        <translation>Delete this recording?</translation>
    </message>
    <message>
        <source>确定要删除该文本文件吗？</source>
        <translation>Delete this text document?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Audio File(*.wav)</source>
        <translation>Audio File(*.wav)</translation>
    </message>
    <message>
        <source>Text File(*.txt);;Text File(*.doc)</source>
        <translation>Text File(*.txt);;Text File(*.doc)</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>另存为失败，无法写入所选位置！</source>
        <translation>Save as failed: cannot write to the chosen place!</translation>
    </message>
    <message>
        <source>重命名失败，已存在同名文件“%1”！</source>
        <translation>Rename failed: a file named &quot;%1&quot; already exists!</translation>
    </message>
    <message>
        <source>重命名失败，没有修改文件夹“%1”的权限！</source>
        <translation>Rename failed: no permission to change the folder &quot;%1&quot;!</translation>
    </message>
    <message>
        <source>重命名失败，文件正在被使用！</source>
        <translation>Rename failed: the file is in use!</translation>
    </message>
    <message>
        <source>导出字幕失败：该文本没有时间信息！</source>
        <translation>Export of subtitles failed: this text has no timings!</translation>
    </message>
    <message>
        <source>导出字幕</source>
        <translation>Export subtitles</translation>
    </message>
    <message>
        <source>导出字幕失败，无法写入%1：%2</source>
        <translation>Export of subtitles failed: cannot write %1: %2</translation>
    </message>
    <message>
        <source>字幕已导出：%1</source>
        <translation>Subtitles exported: %1</translation>
    </message>
</context>
<context>
    <name>LibraryPaths</name>
    <message>
        <source>文件名“%1”含有无法识别的字符（不是 UTF-8 编码），请先在文件管理器中重命名该文件！</source>
        <translation>The file name &quot;%1&quot; holds characters that cannot be read (not UTF-8). Please rename the file in the file manager first!</translation>
    </message>
    <message>
        <source>文件“%1”不存在或已被删除！</source>
        <translation>The file &quot;%1&quot; does not exist or was deleted!</translation>
    </message>
    <message>
        <source>“%1”不是普通文件（如文件夹、命名管道或设备），无法使用！</source>
        <translation>&quot;%1&quot; is not a regular file (but a folder, named pipe or device) and cannot be used!</translation>
    </message>
    <message>
        <source>没有读取文件“%1”的权限！</source>
        <translation>No permission to read the file &quot;%1&quot;!</translation>
    </message>
</context>
<context>
    <name>ListOperations</name>
    <message>
        <source>重命名失败，文件名不能为空，也不能只由“.”组成！</source>
        <translation>Rename failed: the file name cannot be empty or made only of &quot;.&quot;!</translation>
    </message>
    <message>
        <source>重命名失败，文件名不能以“.”开头！</source>
        <translation>Rename failed: the file name cannot start with &quot;.&quot;!</translation>
    </message>
    <message>
        <source>重命名失败，文件名不能包含“/”或“\”！</source>
        <translation>Rename failed: the file name cannot contain &quot;/&quot; or &quot;\&quot;!</translation>
    </message>
    <message>
        <source>重命名失败，文件名过长（最多 %1 字节）！</source>
        <translation>Rename failed: the file name is too long (at most %1 bytes)!</translation>
    </message>
</context>
<context>
    <name>LiveTranscription</name>
    <message>
        <source>获取访问令牌超时。</source>
        <translation>Getting the access token timed out.</translation>
    </message>
    <message>
        <source>本机语音识别服务意外停止。</source>
        <translation>The local speech recognition service stopped unexpectedly.</translation>
    </message>
    <message>
        <source>无法启动语音识别服务。</source>
        <translation>The speech recognition service could not be started.</translation>
    </message>
    <message>
        <source>获取访问令牌失败。</source>
        <translation>Getting the access token failed.</translation>
    </message>
    <message>
        <source>语音服务器返回了无法识别的错误码 %1。</source>
        <translation>The speech server returned the unknown error code %1.</translation>
    </message>
    <message>
        <source>语音服务器的应答无法解析。</source>
        <translation>The speech server&apos;s reply could not be read.</translation>
    </message>
    <message>
        <source>边录边转已停止。%1
录音仍在继续，不受影响；已识别的文字保留在文本区。录音结束后，可以在录音列表中照常转换这段录音。</source>
        <translation>Live transcription has stopped. %1
The recording goes on unaffected; the text recognised so far stays in the text view. When the recording is over, you can convert it from the recordings list as usual.</translation>
    </message>
    <message>
        <source>无法保存文本文档“%1”（%2）。录音已保存，可以在录音列表中照常转换这段录音。</source>
        <translation>The text document &quot;%1&quot; could not be saved (%2). The recording is saved; you can convert it from the recordings list as usual.</translation>
    </message>
    <message>
        <source>正在使用的本机语音识别服务已随启动它的程序退出，且无法另行启动。</source>
        <translation>The local speech recognition service in use has ended together with the program that started it, and no other could be started.</translation>
    </message>
</context>
<context>
    <name>LocalSpeechService</name>
    <message>
        <source>其他程序</source>
        <translation>another program</translation>
    </message>
    <message>
        <source>程序 %1（进程号 %2，用户 %3）</source>
        <translation>the program %1 (process %2, user %3)</translation>
    </message>
    <message>
        <source>用户 %1 的其他程序</source>
        <translation>another program of user %1</translation>
    </message>
    <message>
        <source>无法启动本机语音识别服务：端口 %1 已被%2占用。请关闭该程序，或在 quillora.ini 中为语音服务改用其他端口。</source>
        <translation>Cannot start the local speech recognition service: port %1 is held by %2. Close that program, or give the speech service another port in quillora.ini.</translation>
    </message>
</context>
<context>
    <name>MyInput</name>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>新名称</source>
        <translation>New name</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MyListWidget</name>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>导出字幕…</source>
        <translation>Export subtitles…</translation>
    </message>
    <message>
        <source>适应我的声音…</source>
        <translation>Adapt to my voice…</translation>
    </message>
    <message>
        <source>说话人声音…</source>
        <translation>Speakers&apos; voices…</translation>
    </message>
</context>
<context>
    <name>NetworkFailure</name>
    <message>
        <source>签发它的机构不受信任</source>
        <translation>its issuer is not trusted</translation>
    </message>
    <message>
        <source>证书不属于这个主机名</source>
        <translation>the certificate does not belong to this host name</translation>
    </message>
    <message>
        <source>证书已过期</source>
        <translation>the certificate has expired</translation>
    </message>
    <message>
        <source>证书尚未生效</source>
        <translation>the certificate is not yet valid</translation>
    </message>
    <message>
        <source>证书已被吊销</source>
        <translation>the certificate has been revoked</translation>
    </message>
    <message>
        <source>连接已中断，未发送任何音频或凭据。</source>
        <translation> The connection was closed; no audio or credentials were sent.</translation>
    </message>
    <message>
        <source>无法与语音服务器 %1 建立加密连接：本机缺少 OpenSSL 库（libssl），请安装后再试。</source>
        <translation>Cannot set up an encrypted connection to the speech server %1: this machine lacks the OpenSSL library (libssl). Please install it and try again.</translation>
    </message>
    <message>
        <source>无法验证语音服务器 %1 的证书：部署配置中的证书文件 %2 无法读取或不含证书。</source>
        <translation>Cannot verify the certificate of the speech server %1: the certificate file %2 of the deployment configuration cannot be read or holds no certificate.</translation>
    </message>
    <message>
        <source>无法验证语音服务器 %1 的证书（%2）。</source>
        <translation>Cannot verify the certificate of the speech server %1 (%2).</translation>
    </message>
    <message>
        <source>请检查部署配置中的服务器地址和证书文件（ca_file）。</source>
        <translation> Please check the server address and the certificate file (ca_file) in the deployment configuration.</translation>
    </message>
    <message>
        <source>无法与语音服务器 %1 建立加密连接，该端口可能不支持 https。</source>
        <translation>Cannot set up an encrypted connection to the speech server %1; the port may not support https.</translation>
    </message>
    <message>
        <source>请检查部署配置中的服务器地址。</source>
        <translation> Please check the server address in the deployment configuration.</translation>
    </message>
    <message>
        <source>语音服务器 %1 未作应答就断开了连接。如果它只接受加密连接，请在部署配置中把地址写成 https://%1。</source>
        <translation>The speech server %1 closed the connection without answering. If it accepts encrypted connections only, write the address as https://%1 in the deployment configuration.</translation>
    </message>
    <message>
        <source>获取访问令牌失败，请检查网络连接是否断开！</source>
        <translation>Failed to get an access token. Please check the network connection!</translation>
    </message>
    <message>
        <source>转换失败，请检查网络信号是否充足！</source>
        <translation>Conversion failed. Please check that the network signal is strong enough!</translation>
    </message>
    <message>
        <source>语音服务器 %1 在 %2 秒内没有响应，转换已停止，请稍后再试！</source>
        <translation>The speech server %1 did not answer within %2 seconds. The conversion was stopped; please try again later.</translation>
    </message>
</context>
<context>
    <name>NewWordsBar</name>
    <message>
        <source>加入自定义词汇</source>
        <translation>Add to custom words</translation>
    </message>
    <message>
        <source>忽略</source>
        <translation>Ignore</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source> 等 %1 个</source>
        <translation> and more, %1 in all</translation>
    </message>
    <message>
        <source>词典里没有您改正时写的“%1”。加入自定义词汇后，下次转换就能识别。</source>
        <translation>The dictionary lacks “%1” from your correction. Add it to your custom words and the next conversion can recognise it.</translation>
    </message>
</context>
<context>
    <name>Notice</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
</context>
<context>
    <name>PlayerPane</name>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>无法播放“%1”：文件为空、已损坏或格式不受支持！</source>
        <translation>Cannot play &quot;%1&quot;: the file is empty, damaged or in an unsupported format!</translation>
    </message>
    <message>
        <source>无法播放“%1”：文件为空！</source>
        <translation>Cannot play &quot;%1&quot;: the file is empty!</translation>
    </message>
</context>
<context>
    <name>RecordPane</name>
    <message>
        <source>开始录制</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>边录边转</source>
        <translation>Live text</translation>
    </message>
    <message>
        <source>录音时同时识别，说话的文字随即显示在文本区，录音结束后写成文档</source>
        <translation>Recognise speech while recording: the words appear in the text view as they are spoken and become a document when the recording ends</translation>
    </message>
    <message>
        <source>停止录制</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>没有检测到录音设备！</source>
        <translation>No recording device was found!</translation>
    </message>
</context>
<context>
    <name>Recorder</name>
    <message>
        <source>录音失败，无法启动录音程序 ffmpeg！</source>
        <translation>Recording failed: cannot start the recording program ffmpeg!</translation>
    </message>
    <message>
        <source>录音文件已存在，请稍后再试！</source>
        <translation>The recording file already exists. Please try again shortly!</translation>
    </message>
    <message>
        <source>录音失败，没有找到录音程序 ffmpeg！</source>
        <translation>Recording failed: the recording program ffmpeg was not found!</translation>
    </message>
    <message>
        <source>录音失败，没有生成录音文件！</source>
        <translation>Recording failed: no recording file was made!</translation>
    </message>
    <message>
        <source>录音失败，没有录到任何声音，空文件已删除！</source>
        <translation>Recording failed: no sound was recorded, and the empty file was deleted!</translation>
    </message>
</context>
<context>
    <name>RecorderCommand</name>
    <message>
        <source>录音已停止：磁盘空间已满，无法继续写入文件夹“%1”。</source>
        <translation>Recording stopped: the disk is full and the folder &quot;%1&quot; cannot take more.</translation>
    </message>
    <message>
        <source>录音已停止：录音设备“%1”已断开或音频服务已停止。</source>
        <translation>Recording stopped: the recording device &quot;%1&quot; was disconnected or the sound service stopped.</translation>
    </message>
    <message>
        <source>录音失败：无法打开录音设备“%1”。</source>
        <translation>Recording failed: cannot open the recording device &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s </translation>
    </message>
    <message>
        <source>已保存 %1的录音“%2”。</source>
        <translation> Saved %1of recording as &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>没有保存任何录音。</source>
        <translation> No recording was saved.</translation>
    </message>
</context>
<context>
    <name>SpeakerChoice</name>
    <message>
        <source>不区分说话人</source>
        <translation>Speakers: off</translation>
    </message>
    <message>
        <source>自动区分说话人</source>
        <translation>Speakers: auto</translation>
    </message>
    <message>
        <source>%1 位说话人</source>
        <translation>%1 speakers</translation>
    </message>
    <message>
        <source>区分说话人：文档按说话人分段，每段以说话人的名称开头</source>
        <translation>Tell speakers apart: the document comes in turns, each beginning with the speaker&apos;s name</translation>
    </message>
    <message>
        <source>区分说话人</source>
        <translation>Tell speakers apart</translation>
    </message>
</context>
<context>
    <name>SpeechProtocol</name>
    <message>
        <source>语音识别结果实际为空！</source>
        <translation>The speech recognition result is empty!</translation>
    </message>
    <message>
        <source>鉴权失败！</source>
        <translation>Authentication failed!</translation>
    </message>
    <message>
        <source>语音服务器后端繁忙，或是音频质量过低！</source>
        <translation>The speech server is busy, or the audio quality is too low!</translation>
    </message>
    <message>
        <source>语音服务器后端识别出错！</source>
        <translation>The speech server failed to recognise the audio!</translation>
    </message>
    <message>
        <source>服务端无法将音频转为pcm格式，可能是音频格式问题！</source>
        <translation>The server cannot convert the audio to PCM; the audio format may be at fault!</translation>
    </message>
    <message>
        <source>语音服务器解析超时！</source>
        <translation>The speech server timed out reading the audio!</translation>
    </message>
    <message>
        <source>音频长度过短！</source>
        <translation>The audio is too short!</translation>
    </message>
    <message>
        <source>语音服务器处理超时！</source>
        <translation>The speech server timed out!</translation>
    </message>
    <message>
        <source>音频转为pcm失败！</source>
        <translation>Converting the audio to PCM failed!</translation>
    </message>
</context>
<context>
    <name>TaskPane</name>
    <message>
        <source>上传文件</source>
        <translation>Add files</translation>
    </message>
    <message>
        <source>支持所有主流[音/视频]格式</source>
        <translation>Audio/video files</translation>
    </message>
    <message>
        <source>清空列表</source>
        <translation>Clear list</translation>
    </message>
    <message>
        <source>开始转换</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>停止转换</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>关闭文档</source>
        <translation>Close doc</translation>
    </message>
    <message>
        <source>以下文件不是音频或视频文件，未添加到任务：
</source>
        <translation>These files are not audio or video files and were not added to the tasks:
</translation>
    </message>
    <message>
        <source>以下文件未添加到任务：
</source>
        <translation>These files were not added to the tasks:
</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>文件：%1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>TimeLeft</name>
    <message>
        <source>文件剩余 %1
全部剩余 %2</source>
        <translation>File left %1
All left %2</translation>
    </message>
</context>
<context>
    <name>UiStartup</name>
    <message>
        <source>没有可用的显示器：请在桌面上启动 Quillora，或使用 --convert</source>
        <translation>no display: start Quillora on a desktop, or use --convert</translation>
    </message>
</context>
<context>
    <name>UserWordList</name>
    <message>
        <source>无法创建文件夹</source>
        <translation>cannot create the folder</translation>
    </message>
    <message>
        <source>第 %1 行“%2”没有字母，不是词语，已跳过。</source>
        <translation>Line %1 “%2” has no letters and is no word; left out.</translation>
    </message>
    <message>
        <source>第 %1 行“%2”超过 %3 个字符，已跳过。</source>
        <translation>Line %1 “%2” is longer than %3 characters; left out.</translation>
    </message>
    <message>
        <source>第 %1 行“%2”的读音不是英文模型的音素（如 K W IH L AO R AH），已跳过。</source>
        <translation>The pronunciation on line %1 “%2” is not made of the English model’s phones (such as K W IH L AO R AH); left out.</translation>
    </message>
    <message>
        <source>第 %1 行“%2”超出了 %3 个词语的上限，已跳过。</source>
        <translation>Line %1 “%2” is beyond the limit of %3 entries; left out.</translation>
    </message>
    <message>
        <source>无法读取词汇表“%1”：%2</source>
        <translation>Cannot read the word list “%1”: %2</translation>
    </message>
    <message>
        <source>词汇表“%1”过大（超过 %2 KB），未读取。</source>
        <translation>The word list “%1” is too large (over %2 KB); not read.</translation>
    </message>
    <message>
        <source>词汇表“%1”不是 UTF-8 文本，未读取。</source>
        <translation>The word list “%1” is not UTF-8 text; not read.</translation>
    </message>
    <message>
        <source>词汇表保存失败（原来的词汇表未改动）：%1</source>
        <translation>The word list was not saved (the previous list is unchanged): %1</translation>
    </message>
</context>
<context>
    <name>VoiceAdaptationDialog</name>
    <message>
        <source>适应我的声音</source>
        <translation>Adapt to my voice</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>恢复默认声音模型</source>
        <translation>Restore the default voice model</translation>
    </message>
    <message>
        <source>从改正后保存过的文档（带时间信息、源音频仍在）中，取文本与音频一致的句子，让识别适应你的声音。只影响你自己的转换和边录边转。</source>
        <translation>Takes the sentences whose text and audio agree from the documents you corrected and saved (with timings, their source audio still there) and adapts recognition to your voice. Only your own conversions and live text are affected.</translation>
    </message>
    <message>
        <source>适应进度</source>
        <translation>Adaptation progress</translation>
    </message>
    <message>
        <source>已恢复默认声音模型。</source>
        <translation>The default voice model is restored.</translation>
    </message>
    <message>
        <source>无法删除适应后的声音模型：%1</source>
        <translation>Cannot remove the adapted voice model: %1</translation>
    </message>
    <message>
        <source>使用默认声音模型。</source>
        <translation>Using the default voice model.</translation>
    </message>
</context>
<context>
    <name>VoiceProfilesDialog</name>
    <message>
        <source>名字不能为空。</source>
        <translation>The name cannot be empty.</translation>
    </message>
    <message>
        <source>已有名为“%1”的声音。</source>
        <translation>There is already a voice named “%1”.</translation>
    </message>
    <message>
        <source>没有名为“%1”的声音。</source>
        <translation>There is no voice named “%1”.</translation>
    </message>
    <message>
        <source>无法保存说话人声音：%1</source>
        <translation>Cannot save the speakers&apos; voices: %1</translation>
    </message>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>说话人声音</source>
        <translation>Speakers&apos; voices</translation>
    </message>
    <message>
        <source>在文档中为说话人改名后，程序会记住这个声音；以后转换的文件中听到同一声音时，直接标注这个名字。</source>
        <translation>When you rename a speaker in a document, the program remembers that voice; files converted later label the same voice with that name.</translation>
    </message>
    <message>
        <source>名字</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>无法读取说话人声音：%1</source>
        <translation>Cannot read the speakers&apos; voices: %1</translation>
    </message>
    <message>
        <source>还没有记住的声音。</source>
        <translation>No voices remembered yet.</translation>
    </message>
    <message>
        <source>已改名为“%1”。</source>
        <translation>Renamed to “%1”.</translation>
    </message>
    <message>
        <source>删除声音</source>
        <translation>Delete voice</translation>
    </message>
    <message>
        <source>删除“%1”的声音？以后的转换不再认出这个说话人。</source>
        <translation>Delete the voice of “%1”? Later conversions will no longer recognise this speaker.</translation>
    </message>
    <message>
        <source>已删除“%1”。</source>
        <translation>Deleted “%1”.</translation>
    </message>
</context>
<context>
    <name>Widget</name>
    <message>
        <source>主页</source>
        <translation>Home page</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimise</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximise</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>音频文件列表</source>
        <translation>Audio file list</translation>
    </message>
    <message>
        <source>文本文档列表</source>
        <translation>Document list</translation>
    </message>
    <message>
        <source>录音设备</source>
        <translation>Recording device</translation>
    </message>
    <message>
        <source>任务列表</source>
        <translation>Task list</translation>
    </message>
    <message>
        <source>识别语言</source>
        <translation>Recognition language</translation>
    </message>
    <message>
        <source>播放进度</source>
        <translation>Playback position</translation>
    </message>
    <message>
        <source>录音时长</source>
        <translation>Recording length</translation>
    </message>
    <message>
        <source>播放时间</source>
        <translation>Playback time</translation>
    </message>
    <message>
        <source>剩余时间</source>
        <translation>Time left</translation>
    </message>
    <message>
        <source>垂直滚动条</source>
        <translation>Vertical scroll bar</translation>
    </message>
    <message>
        <source>水平滚动条</source>
        <translation>Horizontal scroll bar</translation>
    </message>
    <message>
        <source>请先添加需要转换的文件！</source>
        <translation>Please add the files to convert first!</translation>
    </message>
    <message>
        <source>正在转换，请在转换结束后再打开文档！</source>
        <translation>A conversion is running. Please open the document after it ends!</translation>
    </message>
    <message>
        <source>
为免丢失文档中的修改，转换没有开始。</source>
        <translation>
The conversion was not started, so that the changes to the document are not lost.</translation>
    </message>
    <message>
        <source>边录边转</source>
        <translation>Live text</translation>
    </message>
    <message>
        <source>正在边录边转，请在录音结束、文字写入文档后再开始转换！</source>
        <translation>Live transcription is under way. Start the conversion once the recording is over and its text is written to the document.</translation>
    </message>
    <message>
        <source>正在转换文件，本次录音不做边录边转；录音结束后可以在录音列表中照常转换。</source>
        <translation>A conversion is running, so this recording gets no live text; when it is over you can convert it from the recordings list as usual.</translation>
    </message>
    <message>
        <source>上一段录音的文字仍在识别中，本次录音不做边录边转；录音结束后可以在录音列表中照常转换。</source>
        <translation>The previous recording&apos;s text is still being recognised, so this recording gets no live text; when it is over you can convert it from the recordings list as usual.</translation>
    </message>
    <message>
        <source>
本次录音不做边录边转。</source>
        <translation>
This recording gets no live text.</translation>
    </message>
    <message>
        <source>
为免丢失文档中的修改，本次录音不做边录边转。</source>
        <translation>
So that the changes to the document are not lost, this recording gets no live text.</translation>
    </message>
    <message>
        <source>正在边录边转，请在录音结束、文字写入文档后再打开文档！</source>
        <translation>Live transcription is under way. Open the document once the recording is over and its text is written to the document.</translation>
    </message>
    <message>
        <source>
文字仍保留在文本区，可以修改；问题解决后（例如腾出磁盘空间）按“关闭文档”（Ctrl+W）即可保存为“%1”。</source>
        <translation>
The text stays in the text view, where you can correct it; once the problem is solved (for example by freeing disk space), press &quot;Close doc&quot; (Ctrl+W) to save it as &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>自定义词汇…</source>
        <translation>Custom words…</translation>
    </message>
</context>
<context>
    <name>WordListDialog</name>
    <message>
        <source>自定义词汇</source>
        <translation>Custom words</translation>
    </message>
    <message>
        <source>每行一个词语或短语，如人名、产品名、地名。需要时在“=”后写出读音（英文音素），例如：Quillora = K W IH L AO R AH。以后的转换和边录边转都会用到这些词。</source>
        <translation>One word or phrase a line: names of people, products, places. Where needed, write its pronunciation (English phones) after “=”, for example: Quillora = K W IH L AO R AH. Later conversions and live text use these words.</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>未保存，请改正这些行：</source>
        <translation>Not saved; please correct these lines:</translation>
    </message>
</context>
<context>
    <name>deskMsgBar</name>
    <message>
        <source>  Quillora 提示</source>
        <translation>  Quillora notice</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
