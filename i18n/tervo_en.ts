<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于 Tervo</source>
        <translation>About Tervo</translation>
    </message>
    <message>
        <source>QT570温控仪控制软件 1.0 版</source>
        <translation>QT570 temperature controller software, version 1.0</translation>
    </message>
    <message>
        <source>RS-485 总线温控仪的通信测试、参数设置与采样记录
自由软件，按 GPL-3.0-or-later 许可发布</source>
        <translation>Line tests, parameter settings and recording for temperature controllers on RS-485
Free software, released under GPL-3.0-or-later</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>AutoSearchDialog</name>
    <message>
        <source>自动搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>自动搜索选项</source>
        <translation>Auto search options</translation>
    </message>
    <message>
        <source>通信端口：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>仪表地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>强制停止</source>
        <translation>Stop now</translation>
    </message>
    <message>
        <source>确定退出</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消退出</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>BusMonitorView</name>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Bus monitor</translation>
    </message>
    <message>
        <source>全部端口</source>
        <translation>All ports</translation>
    </message>
    <message>
        <source>全部地址</source>
        <translation>All addresses</translation>
    </message>
    <message>
        <source>地址 %1</source>
        <translation>Address %1</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>保存日志</source>
        <translation>Save log</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>通信次数</source>
        <translation>Exchanges</translation>
    </message>
    <message>
        <source>失败次数</source>
        <translation>Failures</translation>
    </message>
    <message>
        <source>失败原因</source>
        <translation>Last reason</translation>
    </message>
    <message>
        <source>最近失败</source>
        <translation>Last failure</translation>
    </message>
    <message>
        <source>往返(ms)</source>
        <translation>Round trip (ms)</translation>
    </message>
    <message>
        <source>平均(ms)</source>
        <translation>Mean (ms)</translation>
    </message>
    <message>
        <source>最长(ms)</source>
        <translation>Longest (ms)</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <source>文本文件(*.txt);;所有文件(*.*)</source>
        <translation>Text files (*.txt);;All files (*.*)</translation>
    </message>
    <message>
        <source>通信日志.txt</source>
        <translation>bus-log.txt</translation>
    </message>
    <message>
        <source>日志无法保存！！！</source>
        <translation>The log could not be saved!</translation>
    </message>
</context>
<context>
    <name>ChartFrame</name>
    <message>
        <source>打印报告</source>
        <translation>Report</translation>
    </message>
</context>
<context>
    <name>ChildWindow</name>
    <message>
        <source>采集工作</source>
        <translation>Acquisition</translation>
    </message>
    <message>
        <source>数据分析 --- </source>
        <translation>Data analysis --- </translation>
    </message>
    <message>
        <source>通信测试</source>
        <translation>Line test</translation>
    </message>
    <message>
        <source>仪表模拟 --- </source>
        <translation>Instrument panels --- </translation>
    </message>
    <message>
        <source>仪表参数修改</source>
        <translation>Controller parameters</translation>
    </message>
    <message>
        <source>跟踪曲线设置</source>
        <translation>Tracking curves</translation>
    </message>
</context>
<context>
    <name>ColorDialog</name>
    <message>
        <source>颜色输入</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>红基色：</source>
        <translation>Red:</translation>
    </message>
    <message>
        <source>绿基色：</source>
        <translation>Green:</translation>
    </message>
    <message>
        <source>蓝基色：</source>
        <translation>Blue:</translation>
    </message>
    <message>
        <source>选择确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃退出</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CsvExportTask</name>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>正在导出CSV……</source>
        <translation>Exporting CSV…</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CurveDialogs</name>
    <message>
        <source>曲线打开选择</source>
        <translation>Open a curve</translation>
    </message>
    <message>
        <source>曲线打开方式</source>
        <translation>Open the curve</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>From a file</translation>
    </message>
    <message>
        <source>建立新曲线</source>
        <translation>New curve</translation>
    </message>
    <message>
        <source>从仪表下载</source>
        <translation>From a controller</translation>
    </message>
    <message>
        <source>确  定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取  消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>起始点选择</source>
        <translation>Start point</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Start from</translation>
    </message>
    <message>
        <source>第一路表PV值</source>
        <translation>PV of the first controller</translation>
    </message>
    <message>
        <source>第一路表SV值</source>
        <translation>SV of the first controller</translation>
    </message>
    <message>
        <source>输入值</source>
        <translation>Typed value</translation>
    </message>
    <message>
        <source>输入</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>输入要下载的曲线点数：</source>
        <translation>Number of curve points to read:</translation>
    </message>
    <message>
        <source>确   定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CurveUploadDialog</name>
    <message>
        <source>下载进度提示</source>
        <translation>Reading the curve</translation>
    </message>
    <message>
        <source>正在下载数据</source>
        <translation>Reading data</translation>
    </message>
    <message>
        <source>已下载跟踪曲线数据</source>
        <translation>Curve data read</translation>
    </message>
</context>
<context>
    <name>CurveView</name>
    <message>
        <source>采集文件(*.lin);;所有文件(*.*)</source>
        <translation>Curve files (*.lin);;All files (*.*)</translation>
    </message>
    <message>
        <source>当前值：  %0.2f</source>
        <translation>Value:    %0.2f</translation>
    </message>
    <message>
        <source>当前时间：%02d:%02d:%02d</source>
        <translation>Time:     %02d:%02d:%02d</translation>
    </message>
    <message>
        <source>发送间隔:  %d秒</source>
        <translation>Interval:  %d s</translation>
    </message>
    <message>
        <source>串口号:  </source>
        <translation>Port:  </translation>
    </message>
    <message>
        <source>波特率:  %1BPS</source>
        <translation>Baud:  %1 bps</translation>
    </message>
    <message>
        <source>地址%02d:  %02d</source>
        <translation>Addr %02d:  %02d</translation>
    </message>
    <message>
        <source>分钟</source>
        <translation>min</translation>
    </message>
    <message>
        <source>摄氏度</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>斜率值：</source>
        <translation>Rate:</translation>
    </message>
    <message>
        <source>设定值：</source>
        <translation>Level:</translation>
    </message>
    <message>
        <source>平台时间：</source>
        <translation>Dwell:</translation>
    </message>
    <message>
        <source>发送间隔：</source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>1秒</source>
        <translation>1 s</translation>
    </message>
    <message>
        <source>5秒</source>
        <translation>5 s</translation>
    </message>
    <message>
        <source>10秒</source>
        <translation>10 s</translation>
    </message>
    <message>
        <source>60秒</source>
        <translation>60 s</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>仪表地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>可输入多地址,由逗号隔开</source>
        <translation>Several addresses, separated by commas</translation>
    </message>
    <message>
        <source>斜率值r%1：</source>
        <translation>Rate r%1:</translation>
    </message>
    <message>
        <source>设定值L%1：</source>
        <translation>Level L%1:</translation>
    </message>
    <message>
        <source>平台时间d%1：</source>
        <translation>Dwell d%1:</translation>
    </message>
</context>
<context>
    <name>DemoMode</name>
    <message>
        <source>演示模式：COM1、COM2 为模拟仪表</source>
        <translation>Demo mode: COM1 and COM2 are emulated controllers</translation>
    </message>
</context>
<context>
    <name>DisplayDialog</name>
    <message>
        <source>显示环境设置</source>
        <translation>Display settings</translation>
    </message>
    <message>
        <source>展开周期(s)：</source>
        <translation>Period (s):</translation>
    </message>
    <message>
        <source>坐标最小值：</source>
        <translation>Axis minimum:</translation>
    </message>
    <message>
        <source>坐标最大值：</source>
        <translation>Axis maximum:</translation>
    </message>
    <message>
        <source>确  定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消退出</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>值坐标色</source>
        <translation>Value axis</translation>
    </message>
    <message>
        <source>值标尺色</source>
        <translation>Value grid</translation>
    </message>
    <message>
        <source>时间坐标色</source>
        <translation>Time axis</translation>
    </message>
    <message>
        <source>时间标尺色</source>
        <translation>Time grid</translation>
    </message>
    <message>
        <source>显示颜色标记</source>
        <translation>Show colour keys</translation>
    </message>
    <message>
        <source>不显示颜色标记</source>
        <translation>Hide colour keys</translation>
    </message>
    <message>
        <source>相对时间</source>
        <translation>Relative time</translation>
    </message>
    <message>
        <source>当前绝对时间</source>
        <translation>Clock time</translation>
    </message>
    <message>
        <source>标准坐标</source>
        <translation>Fixed axis</translation>
    </message>
    <message>
        <source>浮动坐标</source>
        <translation>Floating axis</translation>
    </message>
    <message>
        <source>请输入一个整数。</source>
        <translation>Please enter a whole number.</translation>
    </message>
    <message>
        <source>请输入一个数字。</source>
        <translation>Please enter a number.</translation>
    </message>
</context>
<context>
    <name>HistoryPicture</name>
    <message>
        <source>展开周期：</source>
        <translation>Period:</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>采样周期：%1秒</source>
        <translation>Sampling period: %1 s</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>显示系数：</source>
        <translation>Scale:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>平移系数：</source>
        <translation>Offset:</translation>
    </message>
    <message>
        <source>仪表地址：</source>
        <translation>Address:</translation>
    </message>
</context>
<context>
    <name>HistoryReport</name>
    <message>
        <source>采样周期：%1秒</source>
        <translation>Sampling period: %1 s</translation>
    </message>
    <message>
        <source>显示系数：%0.2f</source>
        <translation>Scale: %0.2f</translation>
    </message>
    <message>
        <source>平移系数：%0.2f</source>
        <translation>Offset: %0.2f</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>仪表地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>文件名称：</source>
        <translation>File:</translation>
    </message>
    <message>
        <source>打印时间：</source>
        <translation>Printed:</translation>
    </message>
    <message>
        <source>起始时间：</source>
        <translation>Start:</translation>
    </message>
    <message>
        <source>结束时间：</source>
        <translation>End:</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>采集文件(*.alt);;所有文件(*.*)</source>
        <translation>Record files (*.alt);;All files (*.*)</translation>
    </message>
    <message>
        <source>文件错误！！！</source>
        <translation>File error!</translation>
    </message>
    <message>
        <source>删除所选项</source>
        <translation>Delete selection</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存修改数据</source>
        <translation>Save the edited data</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>全屏</source>
        <translation>Whole</translation>
    </message>
    <message>
        <source>压缩整幅图到整个画面</source>
        <translation>Fit the whole recording on the screen</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>“曲线图”方式才可使用！！！</source>
        <translation>Only in the &quot;Curves&quot; view!</translation>
    </message>
    <message>
        <source>“列表显示”形式才可使用！！！</source>
        <translation>Only in the &quot;Table&quot; view!</translation>
    </message>
    <message>
        <source>确实要删除所选项！！！</source>
        <translation>Delete the selected rows?</translation>
    </message>
    <message>
        <source>保存失败！！！</source>
        <translation>Saving failed!</translation>
    </message>
    <message>
        <source>CSV文件(*.csv);;所有文件(*.*)</source>
        <translation>CSV files (*.csv);;All files (*.*)</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <source>界面语言将在下次启动时更改。</source>
        <translation>The interface language changes at the next start.</translation>
    </message>
</context>
<context>
    <name>LinkSettingsDialog</name>
    <message>
        <source>通信设置</source>
        <translation>Link settings</translation>
    </message>
    <message>
        <source>通信端口：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud:</translation>
    </message>
    <message>
        <source>仪表地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消退出</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>输入错误！！！</source>
        <translation>Input error!</translation>
    </message>
</context>
<context>
    <name>LoadingDialog</name>
    <message>
        <source>等待</source>
        <translation>Please wait</translation>
    </message>
    <message>
        <source>取  消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>LockIndicators</name>
    <message>
        <source>大写</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>数字</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>滚动</source>
        <translation>SCRL</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>温控仪控制系统</source>
        <translation>Temperature Controller System</translation>
    </message>
    <message>
        <source>QT570控制软件</source>
        <translation>QT570 Control Software</translation>
    </message>
    <message>
        <source>打开该文档</source>
        <translation>Open this document</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>文件错误！！！</source>
        <translation>File error!</translation>
    </message>
    <message>
        <source>采集文件(*.awt);;所有文件(*.*)</source>
        <translation>Work templates (*.awt);;All files (*.*)</translation>
    </message>
    <message>
        <source>采集文件(*.alt);;所有文件(*.*)</source>
        <translation>Record files (*.alt);;All files (*.*)</translation>
    </message>
    <message>
        <source>模板文件(*.sim);;所有文件(*.*)</source>
        <translation>Instrument templates (*.sim);;All files (*.*)</translation>
    </message>
    <message>
        <source>本软件适用于QT570温控仪。
</source>
        <translation>This software is for QT570 temperature controllers.
</translation>
    </message>
    <message>
        <source>能完成通信测试、参数设置修改、及简单的采样工作。</source>
        <translation>It tests the line, reads and changes parameters, and records samples.</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>所有文件(*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>打印设置</source>
        <translation>Print Setup</translation>
    </message>
</context>
<context>
    <name>PanelPictures</name>
    <message>
        <source>通信</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Params</translation>
    </message>
    <message>
        <source>添加仪表</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除仪表</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>重新排列</source>
        <translation>Arrange</translation>
    </message>
    <message>
        <source>自动搜索</source>
        <translation>Search</translation>
    </message>
</context>
<context>
    <name>PanelView</name>
    <message>
        <source>文件错误！！！</source>
        <translation>File error!</translation>
    </message>
    <message>
        <source>添加仪表</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除仪表</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>重新排列</source>
        <translation>Arrange</translation>
    </message>
    <message>
        <source>自动搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>模板文件(*.sim);;所有文件(*.*)</source>
        <translation>Instrument templates (*.sim);;All files (*.*)</translation>
    </message>
</context>
<context>
    <name>ParameterView</name>
    <message>
        <source>开关自动下载功能</source>
        <translation>Switch automatic writing on or off</translation>
    </message>
    <message>
        <source>按此键，下载修改设置数据到仪表</source>
        <translation>Press to write the changed value to the controller</translation>
    </message>
    <message>
        <source>参数名称：</source>
        <translation>Parameter:</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud:</translation>
    </message>
    <message>
        <source>仪表地址：</source>
        <translation>Address:</translation>
    </message>
</context>
<context>
    <name>PasswordDialog</name>
    <message>
        <source>密码输入</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>密码错误！！！</source>
        <translation>Wrong password!</translation>
    </message>
</context>
<context>
    <name>Pictures</name>
    <message>
        <source>串口参数</source>
        <translation>Line settings</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud:</translation>
    </message>
    <message>
        <source>数据位：</source>
        <translation>Data:</translation>
    </message>
    <message>
        <source>校验位：</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>停止位：</source>
        <translation>Stop:</translation>
    </message>
    <message>
        <source>自动发送间隔：</source>
        <translation>Auto-send interval:</translation>
    </message>
    <message>
        <source>毫秒：</source>
        <translation>ms:</translation>
    </message>
    <message>
        <source>进入系统</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>密码进入</source>
        <translation>Enter with password</translation>
    </message>
    <message>
        <source>开始运行</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>停止运行</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>开始保存</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>结束保存</source>
        <translation>End rec</translation>
    </message>
    <message>
        <source>曲线图</source>
        <translation>Curves</translation>
    </message>
    <message>
        <source>环形图</source>
        <translation>Ring</translation>
    </message>
    <message>
        <source>周期图</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>列表显示</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>实时事件</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>通道设置</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>事件设置</source>
        <translation>Evt set</translation>
    </message>
    <message>
        <source>采样参数</source>
        <translation>Sampling</translation>
    </message>
    <message>
        <source>显示设置</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>放大显示</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小显示</source>
        <translation>Zoom out</translation>
    </message>
</context>
<context>
    <name>PortMapDialog</name>
    <message>
        <source>串口映射</source>
        <translation>Serial ports</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>默认 </source>
        <translation>Default </translation>
    </message>
    <message>
        <source>环境变量 TERVO_COM%1 优先：%2</source>
        <translation>The variable TERVO_COM%1 takes precedence: %2</translation>
    </message>
    <message>
        <source>为 COM1～COM6 选择或输入串口设备；留空使用默认设备。</source>
        <translation>Choose or type the serial device of COM1 to COM6; leave empty for the default.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>输入错误！！！</source>
        <translation>Input error!</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>PublishDialog</name>
    <message>
        <source>密码保存在桌面的密钥存储中，不写入设置文件。</source>
        <translation>The password is kept in the desktop&apos;s secret store, not in the settings file.</translation>
    </message>
    <message>
        <source>网络发布</source>
        <translation>Network publishing</translation>
    </message>
    <message>
        <source>发布到 MQTT 服务器</source>
        <translation>Publish to an MQTT broker</translation>
    </message>
    <message>
        <source>正在读取密钥存储……</source>
        <translation>Reading the secret store…</translation>
    </message>
    <message>
        <source>提供指标页 /metrics</source>
        <translation>Serve the metrics page /metrics</translation>
    </message>
    <message>
        <source>每个采集周期发布到 tervo/&lt;主机&gt;/&lt;工作&gt;/&lt;通道&gt;，开始运行时生效。</source>
        <translation>Each sampling cycle is published to tervo/&lt;host&gt;/&lt;work&gt;/&lt;channel&gt;, from the next run.</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>没有可用的密钥存储（</source>
        <translation>No secret store available (</translation>
    </message>
    <message>
        <source>）：
密码只在本次运行中有效，不写入设置文件。</source>
        <translation>):
the password holds for this run only and is not written to the settings file.</translation>
    </message>
    <message>
        <source>MQTT 服务器地址无效：</source>
        <translation>Invalid MQTT broker address: </translation>
    </message>
    <message>
        <source>
格式：mqtt://[用户@]主机[:端口] 或 mqtts://...</source>
        <translation>
Form: mqtt://[user@]host[:port] or mqtts://...</translation>
    </message>
    <message>
        <source>指标页地址无效：</source>
        <translation>Invalid metrics page address: </translation>
    </message>
    <message>
        <source>
格式：地址:端口，如 127.0.0.1:9570</source>
        <translation>
Form: address:port, e.g. 127.0.0.1:9570</translation>
    </message>
</context>
<context>
    <name>SerialTestView</name>
    <message>
        <source>4位</source>
        <translation>4</translation>
    </message>
    <message>
        <source>5位</source>
        <translation>5</translation>
    </message>
    <message>
        <source>6位</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7位</source>
        <translation>7</translation>
    </message>
    <message>
        <source>8位</source>
        <translation>8</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>1位</source>
        <translation>1</translation>
    </message>
    <message>
        <source>1位半</source>
        <translation>1.5</translation>
    </message>
    <message>
        <source>2位</source>
        <translation>2</translation>
    </message>
    <message>
        <source>16进制显示</source>
        <translation>Hex display</translation>
    </message>
    <message>
        <source>自动发送</source>
        <translation>Auto send</translation>
    </message>
    <message>
        <source>发送输入数据</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>清除显示</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>计数器清零</source>
        <translation>Reset counts</translation>
    </message>
    <message>
        <source>发送数据：</source>
        <translation>Send:</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>密钥存储无应答</source>
        <translation>The secret store did not answer</translation>
    </message>
    <message>
        <source>ZMT 智能温控仪表有限公司</source>
        <translation>ZMT Temperature Controls</translation>
    </message>
</context>
<context>
    <name>StartTitleDialog</name>
    <message>
        <source>设置起始显示标题</source>
        <translation>Start title</translation>
    </message>
    <message>
        <source>保存退出</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>放弃退出</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>StartWindow</name>
    <message>
        <source>温控仪控制系统</source>
        <translation>Temperature Controller System</translation>
    </message>
    <message>
        <source>QT570控制系统</source>
        <translation>QT570 Control</translation>
    </message>
</context>
<context>
    <name>TervoApp</name>
    <message>
        <source>确实要退出程序！！！</source>
        <translation>Really close?</translation>
    </message>
</context>
<context>
    <name>WorkChart</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
</context>
<context>
    <name>WorkDialogs</name>
    <message>
        <source>请输入一个整数。</source>
        <translation>Please enter a whole number.</translation>
    </message>
    <message>
        <source>请输入一个在 %1 和 %2 之间的整数。</source>
        <translation>Please enter a whole number between %1 and %2.</translation>
    </message>
    <message>
        <source>请输入一个数字。</source>
        <translation>Please enter a number.</translation>
    </message>
    <message>
        <source>通道设置</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>下载参数：   </source>
        <translation>Write value:   </translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose file</translation>
    </message>
    <message>
        <source>添加通道</source>
        <translation>Add channel</translation>
    </message>
    <message>
        <source>删除通道</source>
        <translation>Delete channel</translation>
    </message>
    <message>
        <source>通道名称：</source>
        <translation>Channel name:</translation>
    </message>
    <message>
        <source>采样选择：</source>
        <translation>Parameter:</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>仪表地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>显示系数：</source>
        <translation>Scale:</translation>
    </message>
    <message>
        <source>平移系数：</source>
        <translation>Offset:</translation>
    </message>
    <message>
        <source>采集文件(*.lin);;所有文件(*.*)</source>
        <translation>Curve files (*.lin);;All files (*.*)</translation>
    </message>
    <message>
        <source>通道事件设置</source>
        <translation>Channel events</translation>
    </message>
    <message>
        <source>常数</source>
        <translation>Constant</translation>
    </message>
    <message>
        <source>大于</source>
        <translation>greater than</translation>
    </message>
    <message>
        <source>小于</source>
        <translation>less than</translation>
    </message>
    <message>
        <source>事件名称：</source>
        <translation>Event name:</translation>
    </message>
    <message>
        <source>事件类型：</source>
        <translation>Event type:</translation>
    </message>
    <message>
        <source>比较类型：</source>
        <translation>Comparison:</translation>
    </message>
    <message>
        <source>数据1：</source>
        <translation>Data 1:</translation>
    </message>
    <message>
        <source>数据2：</source>
        <translation>Data 2:</translation>
    </message>
    <message>
        <source>数据3：</source>
        <translation>Data 3:</translation>
    </message>
    <message>
        <source>采样参数设置</source>
        <translation>Sampling settings</translation>
    </message>
    <message>
        <source>采样周期(s)：</source>
        <translation>Sampling period (s):</translation>
    </message>
    <message>
        <source>显示周期(s)：</source>
        <translation>Display period (s):</translation>
    </message>
    <message>
        <source>确定退出</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃退出</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>WorkView</name>
    <message>
        <source>正在记录中，不能修改设置！！！</source>
        <translation>Recording: the settings cannot be changed!</translation>
    </message>
    <message>
        <source>文件错误！！！</source>
        <translation>File error!</translation>
    </message>
    <message>
        <source>采集文件(*.alt);;工作文件(*.whp);;所有文件(*.*)</source>
        <translation>Record files (*.alt);;Work files (*.whp);;All files (*.*)</translation>
    </message>
    <message>
        <source>无记录通道，无法修改事件！！！</source>
        <translation>No channels: events cannot be changed!</translation>
    </message>
    <message>
        <source>采集文件(*.awt);;所有文件(*.*)</source>
        <translation>Work templates (*.awt);;All files (*.*)</translation>
    </message>
    <message>
        <source>保存失败！！！</source>
        <translation>Saving failed!</translation>
    </message>
    <message>
        <source>保存成功！！！</source>
        <translation>Saved!</translation>
    </message>
    <message>
        <source>采集工作</source>
        <translation>Acquisition</translation>
    </message>
</context>
<context>
    <name>cli</name>
    <message>
        <source>未知参数：%1（`tervo-cli params` 列出全部）</source>
        <translation>Unknown parameter: %1 (`tervo-cli params` lists them all)</translation>
    </message>
    <message>
        <source>
是否指 </source>
        <translation>
Did you mean </translation>
    </message>
    <message>
        <source> 或 </source>
        <translation> or </translation>
    </message>
    <message>
        <source>？</source>
        <translation>?</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>修改成功！！！</source>
        <translation>Changed!</translation>
    </message>
    <message>
        <source>修改失败！！！</source>
        <translation>Change failed!</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>失败次数：</source>
        <translation>Failures: </translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>通信错误！！！</source>
        <translation>Communication error!</translation>
    </message>
    <message>
        <source>文件错误！！！</source>
        <translation>File error!</translation>
    </message>
    <message>
        <source>用法：tervo-cli --help</source>
        <translation>Usage: tervo-cli --help</translation>
    </message>
    <message>
        <source>已搜索 %1/%2，找到 %3 台，剩余约 %4 秒</source>
        <translation>Searched %1/%2, found %3, about %4 s left</translation>
    </message>
    <message>
        <source>无法打开文件：%1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>仪表模板 %1</source>
        <translation>Panel template %1</translation>
    </message>
    <message>
        <source>仪表 %1 台</source>
        <translation>%1 controller(s)</translation>
    </message>
    <message>
        <source>端口%1</source>
        <translation>port %1</translation>
    </message>
    <message>
        <source>地址 %1</source>
        <translation>address %1</translation>
    </message>
    <message>
        <source>通道%1（无此通道）</source>
        <translation>channel %1 (no such channel)</translation>
    </message>
    <message>
        <source>通道%1</source>
        <translation>channel %1</translation>
    </message>
    <message>
        <source>%1的差分</source>
        <translation>difference of %1</translation>
    </message>
    <message>
        <source>%1的积分</source>
        <translation>integral of %1</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>（比较类型%1，永不触发）</source>
        <translation>(comparison type %1, never fires)</translation>
    </message>
    <message>
        <source>数值范围：</source>
        <translation>Value range: </translation>
    </message>
    <message>
        <source>采样周期(s)：</source>
        <translation>Sampling period (s): </translation>
    </message>
    <message>
        <source>  显示周期(s)：</source>
        <translation>  Display period (s): </translation>
    </message>
    <message>
        <source>背景色 </source>
        <translation>Background </translation>
    </message>
    <message>
        <source>  时间坐标色 </source>
        <translation>  time axis </translation>
    </message>
    <message>
        <source>  时间标尺色 </source>
        <translation>  time ruler </translation>
    </message>
    <message>
        <source>  值坐标色 </source>
        <translation>  value axis </translation>
    </message>
    <message>
        <source>  值标尺色 </source>
        <translation>  value ruler </translation>
    </message>
    <message>
        <source>通道 </source>
        <translation>Channels </translation>
    </message>
    <message>
        <source> 地址 </source>
        <translation> address </translation>
    </message>
    <message>
        <source>  显示系数：</source>
        <translation>  display factor: </translation>
    </message>
    <message>
        <source>  平移系数：</source>
        <translation>  offset: </translation>
    </message>
    <message>
        <source>  颜色 </source>
        <translation>  colour </translation>
    </message>
    <message>
        <source> 线宽 </source>
        <translation> width </translation>
    </message>
    <message>
        <source>  跟踪曲线：</source>
        <translation>  tracking curve: </translation>
    </message>
    <message>
        <source>事件 </source>
        <translation>Events </translation>
    </message>
    <message>
        <source>跟踪曲线 </source>
        <translation>Tracking curve </translation>
    </message>
    <message>
        <source>段数 </source>
        <translation>Segments </translation>
    </message>
    <message>
        <source>  斜率值 </source>
        <translation>  rate </translation>
    </message>
    <message>
        <source>  设定值 </source>
        <translation>  set value </translation>
    </message>
    <message>
        <source>  平台时间 </source>
        <translation>  dwell </translation>
    </message>
    <message>
        <source>总时间（起始值 0）：%1 分钟</source>
        <translation>Total time (from 0): %1 min</translation>
    </message>
    <message>
        <source>记录文件无法写入：%1，记录未开始！！！</source>
        <translation>Cannot write the record file: %1, recording not started!</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>记录文件写入失败：已采集 %1 行，文件中有 %2 行：%3</source>
        <translation>Writing the record file failed: %1 rows taken, %2 rows in the file: %3</translation>
    </message>
    <message>
        <source>已记录 %1 行：%2</source>
        <translation>Recorded %1 rows: %2</translation>
    </message>
    <message>
        <source>工作模板 </source>
        <translation>Work template </translation>
    </message>
    <message>
        <source>记录文件 </source>
        <translation>Record file </translation>
    </message>
    <message>
        <source>记录 %1 行</source>
        <translation>%1 rows recorded</translation>
    </message>
    <message>
        <source>事件发生 %1 次</source>
        <translation>%1 event occurrence(s)</translation>
    </message>
    <message>
        <source>无法写入：%1</source>
        <translation>Cannot write: %1</translation>
    </message>
    <message>
        <source>通道%1「%2」</source>
        <translation>channel %1 &quot;%2&quot;</translation>
    </message>
    <message>
        <source>「%1」</source>
        <translation>&quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>core</name>
    <message>
        <source>输入错误！！！</source>
        <translation>Input error!</translation>
    </message>
    <message>
        <source>无有效地址</source>
        <translation>No valid address</translation>
    </message>
    <message>
        <source>发送间隔错误！！！</source>
        <translation>Bad send interval!</translation>
    </message>
    <message>
        <source>仪表最多8段曲线！！！</source>
        <translation>A controller holds at most 8 segments!</translation>
    </message>
    <message>
        <source>曲线最多100段！！！</source>
        <translation>A curve has at most 100 segments!</translation>
    </message>
    <message>
        <source>文件错误！！！</source>
        <translation>File error!</translation>
    </message>
    <message>
        <source>进入下位机控制模式！</source>
        <translation>The controller runs the curve!</translation>
    </message>
    <message>
        <source>进入PC机控制模式！</source>
        <translation>The PC runs the curve!</translation>
    </message>
    <message>
        <source>第</source>
        <translation>Segment </translation>
    </message>
    <message>
        <source>条曲线  斜率：</source>
        <translation>  rate: </translation>
    </message>
    <message>
        <source>     设定值：</source>
        <translation>     level: </translation>
    </message>
    <message>
        <source>     平台运行时间：</source>
        <translation>     dwell: </translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>时间,事件</source>
        <translation>Time,Event</translation>
    </message>
    <message>
        <source>事件</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>（未知事件 </source>
        <translation>(unknown event </translation>
    </message>
    <message>
        <source>）</source>
        <translation>)</translation>
    </message>
    <message>
        <source>事件记录被截断，已读入完整的部分！！！</source>
        <translation>The event records are cut short; the complete part was read!</translation>
    </message>
    <message>
        <source>记录文件旁的日志属于其他用户，未采用！！！</source>
        <translation>The journal beside the record file belongs to another user and was not used!</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>  地址 </source>
        <translation>  address </translation>
    </message>
    <message>
        <source>  发送  </source>
        <translation>  sent  </translation>
    </message>
    <message>
        <source>  接收  </source>
        <translation>  received  </translation>
    </message>
    <message>
        <source> 地址 </source>
        <translation> address </translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>（</source>
        <translation> (</translation>
    </message>
    <message>
        <source> 次）</source>
        <translation> times)</translation>
    </message>
    <message>
        <source>端口号无效</source>
        <translation>bad port number</translation>
    </message>
    <message>
        <source>波特率无效</source>
        <translation>bad baud rate</translation>
    </message>
    <message>
        <source>端口打不开</source>
        <translation>port cannot be opened</translation>
    </message>
    <message>
        <source>无此设备</source>
        <translation>no such device</translation>
    </message>
    <message>
        <source>无权访问端口</source>
        <translation>no permission for the port</translation>
    </message>
    <message>
        <source>端口被占用</source>
        <translation>port in use</translation>
    </message>
    <message>
        <source>不是串口</source>
        <translation>not a serial port</translation>
    </message>
    <message>
        <source>串口设置被拒绝</source>
        <translation>line settings refused</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>应答过短</source>
        <translation>reply too short</translation>
    </message>
    <message>
        <source>应答过长</source>
        <translation>reply too long</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>block check error</translation>
    </message>
    <message>
        <source>应答无法识别</source>
        <translation>reply not understood</translation>
    </message>
    <message>
        <source>仪表拒绝</source>
        <translation>refused by the controller</translation>
    </message>
    <message>
        <source>仪表无此参数</source>
        <translation>controller has no such parameter</translation>
    </message>
    <message>
        <source>应答参数不符</source>
        <translation>reply for another parameter</translation>
    </message>
    <message>
        <source>参数代码无效</source>
        <translation>bad parameter code</translation>
    </message>
    <message>
        <source>PV 测量值（只读）</source>
        <translation>PV measured (r/o)</translation>
    </message>
    <message>
        <source>OP 输出功率（只读）</source>
        <translation>OP output % (r/o)</translation>
    </message>
    <message>
        <source>SP 运行目标值（只读）</source>
        <translation>SP target (r/o)</translation>
    </message>
    <message>
        <source>SL 基本设定值</source>
        <translation>SL set point</translation>
    </message>
    <message>
        <source>HA 上限报警值</source>
        <translation>HA high alarm</translation>
    </message>
    <message>
        <source>LA 下限报警值</source>
        <translation>LA low alarm</translation>
    </message>
    <message>
        <source>DA 偏差报警值</source>
        <translation>DA deviation alarm</translation>
    </message>
    <message>
        <source>XP 加热比例带</source>
        <translation>XP heat prop. band</translation>
    </message>
    <message>
        <source>TI 积分时间</source>
        <translation>TI integral time</translation>
    </message>
    <message>
        <source>TD 微分时间</source>
        <translation>TD derivative time</translation>
    </message>
    <message>
        <source>Hb PID上分离带</source>
        <translation>Hb PID upper band</translation>
    </message>
    <message>
        <source>LB PID下分离带</source>
        <translation>LB PID lower band</translation>
    </message>
    <message>
        <source>CH 加热动作周期</source>
        <translation>CH heat cycle time</translation>
    </message>
    <message>
        <source>CC 冷却动作周期</source>
        <translation>CC cool cycle time</translation>
    </message>
    <message>
        <source>RG 相关冷却系数</source>
        <translation>RG cooling gain</translation>
    </message>
    <message>
        <source>HS 设定值最大值</source>
        <translation>HS set point max</translation>
    </message>
    <message>
        <source>LS 设定值最小值</source>
        <translation>LS set point min</translation>
    </message>
    <message>
        <source>BP 故障输出功率</source>
        <translation>BP failure output</translation>
    </message>
    <message>
        <source>HO 最大输出功率</source>
        <translation>HO max output</translation>
    </message>
    <message>
        <source>SR 升降温速率值</source>
        <translation>SR ramp rate</translation>
    </message>
    <message>
        <source>Hb 自动暂停带</source>
        <translation>Hb holdback band</translation>
    </message>
    <message>
        <source>LC 曲线程序循环次数</source>
        <translation>LC program cycles</translation>
    </message>
    <message>
        <source>SW 状态值</source>
        <translation>SW status word</translation>
    </message>
    <message>
        <source>XS 状态值</source>
        <translation>XS status word</translation>
    </message>
    <message>
        <source>OS 状态值</source>
        <translation>OS status word</translation>
    </message>
    <message>
        <source>r1 斜坡1的斜率值</source>
        <translation>r1 ramp 1 rate</translation>
    </message>
    <message>
        <source>l1 平台1的设定值</source>
        <translation>l1 dwell 1 level</translation>
    </message>
    <message>
        <source>t1 平台1的运行时间</source>
        <translation>t1 dwell 1 time</translation>
    </message>
    <message>
        <source>r2 斜坡2的斜率值</source>
        <translation>r2 ramp 2 rate</translation>
    </message>
    <message>
        <source>l2 平台2的设定值</source>
        <translation>l2 dwell 2 level</translation>
    </message>
    <message>
        <source>t2 平台2的运行时间</source>
        <translation>t2 dwell 2 time</translation>
    </message>
    <message>
        <source>r3 斜坡3的斜率值</source>
        <translation>r3 ramp 3 rate</translation>
    </message>
    <message>
        <source>l3 平台3的设定值</source>
        <translation>l3 dwell 3 level</translation>
    </message>
    <message>
        <source>t3 平台3的运行时间</source>
        <translation>t3 dwell 3 time</translation>
    </message>
    <message>
        <source>r4 斜坡4的斜率值</source>
        <translation>r4 ramp 4 rate</translation>
    </message>
    <message>
        <source>l4 平台4的设定值</source>
        <translation>l4 dwell 4 level</translation>
    </message>
    <message>
        <source>t4 平台4的运行时间</source>
        <translation>t4 dwell 4 time</translation>
    </message>
    <message>
        <source>r5 斜坡5的斜率值</source>
        <translation>r5 ramp 5 rate</translation>
    </message>
    <message>
        <source>l5 平台5的设定值</source>
        <translation>l5 dwell 5 level</translation>
    </message>
    <message>
        <source>t5 平台5的运行时间</source>
        <translation>t5 dwell 5 time</translation>
    </message>
    <message>
        <source>r6 斜坡6的斜率值</source>
        <translation>r6 ramp 6 rate</translation>
    </message>
    <message>
        <source>l6 平台6的设定值</source>
        <translation>l6 dwell 6 level</translation>
    </message>
    <message>
        <source>t6 平台6的运行时间</source>
        <translation>t6 dwell 6 time</translation>
    </message>
    <message>
        <source>r7 斜坡7的斜率值</source>
        <translation>r7 ramp 7 rate</translation>
    </message>
    <message>
        <source>l7 平台7的设定值</source>
        <translation>l7 dwell 7 level</translation>
    </message>
    <message>
        <source>t7 平台7的运行时间</source>
        <translation>t7 dwell 7 time</translation>
    </message>
    <message>
        <source>r8 斜坡8的斜率值</source>
        <translation>r8 ramp 8 rate</translation>
    </message>
    <message>
        <source>l8 平台8的设定值</source>
        <translation>l8 dwell 8 level</translation>
    </message>
    <message>
        <source>t8 平台8的运行时间</source>
        <translation>t8 dwell 8 time</translation>
    </message>
    <message>
        <source>串口：%5s , 波特率：%5s , 仪表地址：%2d</source>
        <translation>Port: %5s , baud: %5s , address: %2d</translation>
    </message>
    <message>
        <source>串口设置错误！！！</source>
        <translation>Bad port choice!</translation>
    </message>
    <message>
        <source>波特率设置错误！！！</source>
        <translation>Bad baud rate choice!</translation>
    </message>
    <message>
        <source>仪表地址设置错误！！！</source>
        <translation>Bad address choice!</translation>
    </message>
    <message>
        <source>搜索完毕！！！</source>
        <translation>Search finished!</translation>
    </message>
    <message>
        <source>搜索停止！！！</source>
        <translation>Search stopped!</translation>
    </message>
    <message>
        <source>修改成功！！！</source>
        <translation>Changed!</translation>
    </message>
    <message>
        <source>修改失败！！！</source>
        <translation>Change failed!</translation>
    </message>
    <message>
        <source>通信错误！！！</source>
        <translation>Communication error!</translation>
    </message>
    <message>
        <source>通信错误</source>
        <translation>Communication error</translation>
    </message>
    <message>
        <source>发送数据：%7u         接收数据：%7u</source>
        <translation>Sent: %7u         Received: %7u</translation>
    </message>
    <message>
        <source>记录文件无法写入：</source>
        <translation>The record file cannot be written: </translation>
    </message>
    <message>
        <source>。记录仍在内存中，每个采样周期后重写！！！</source>
        <translation>. The recording stays in memory and is written again after every cycle!</translation>
    </message>
    <message>
        <source>记录文件已重新写入：</source>
        <translation>The record file was written again: </translation>
    </message>
    <message>
        <source>！！！</source>
        <translation>!</translation>
    </message>
    <message>
        <source>记录文件正被另一记录占用：</source>
        <translation>The record file is held by another recording: </translation>
    </message>
    <message>
        <source>曲线文件无法打开：</source>
        <translation>The curve file cannot be opened: </translation>
    </message>
    <message>
        <source>采集工作 - </source>
        <translation>Acquisition - </translation>
    </message>
    <message>
        <source>无记录项！！！</source>
        <translation>No channels!</translation>
    </message>
    <message>
        <source>此时正在工作中，须先结束保存！！！</source>
        <translation>Recording is on: end the recording first!</translation>
    </message>
    <message>
        <source>未打开记录，须先开始记录！！！</source>
        <translation>Not running: start the run first!</translation>
    </message>
    <message>
        <source>确实要停止工作？？？</source>
        <translation>Really stop?</translation>
    </message>
    <message>
        <source>系统错误！！！</source>
        <translation>System error!</translation>
    </message>
    <message>
        <source>数值比较</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>差分比较</source>
        <translation>Difference</translation>
    </message>
    <message>
        <source>积分比较</source>
        <translation>Integral</translation>
    </message>
    <message>
        <source>和比较</source>
        <translation>Sum</translation>
    </message>
    <message>
        <source>差比较</source>
        <translation>Subtraction</translation>
    </message>
    <message>
        <source>积比较</source>
        <translation>Product</translation>
    </message>
    <message>
        <source>商比较</source>
        <translation>Quotient</translation>
    </message>
    <message>
        <source>大于</source>
        <translation>greater than</translation>
    </message>
    <message>
        <source>小于</source>
        <translation>less than</translation>
    </message>
    <message>
        <source>设置参数</source>
        <translation>Writes parameter</translation>
    </message>
    <message>
        <source>读取参数</source>
        <translation>Reads parameter</translation>
    </message>
    <message>
        <source>通信端口  %s</source>
        <translation>Port      %s</translation>
    </message>
    <message>
        <source>波特率    %s</source>
        <translation>Baud rate %s</translation>
    </message>
    <message>
        <source>仪表地址  %d</source>
        <translation>Address   %d</translation>
    </message>
    <message>
        <source>通信选择  %s</source>
        <translation>Parameter %s</translation>
    </message>
    <message>
        <source>设置曲线  %s</source>
        <translation>Curve     %s</translation>
    </message>
    <message>
        <source>显示系数  </source>
        <translation>Scale     </translation>
    </message>
    <message>
        <source>平移系数  </source>
        <translation>Offset    </translation>
    </message>
    <message>
        <source>事件类型  </source>
        <translation>Type      </translation>
    </message>
    <message>
        <source>比较类型  </source>
        <translation>Compare   </translation>
    </message>
    <message>
        <source>数值1     </source>
        <translation>Data 1    </translation>
    </message>
    <message>
        <source>数值2     </source>
        <translation>Data 2    </translation>
    </message>
    <message>
        <source>数值3     </source>
        <translation>Data 3    </translation>
    </message>
    <message>
        <source>文件名太长！！！</source>
        <translation>File name too long!</translation>
    </message>
    <message>
        <source>添加成功！！！</source>
        <translation>Added!</translation>
    </message>
    <message>
        <source>删除成功！！！</source>
        <translation>Deleted!</translation>
    </message>
    <message>
        <source>是否要删除此记录，这样将同时删除所有“事件记录”！！！</source>
        <translation>Delete this entry? This also deletes all &quot;event records&quot;!</translation>
    </message>
    <message>
        <source>通道数已满（最多20个）！！！</source>
        <translation>No more channels (at most 20)!</translation>
    </message>
    <message>
        <source>事件数已满（最多20个）！！！</source>
        <translation>No more events (at most 20)!</translation>
    </message>
    <message>
        <source>无法监听 </source>
        <translation>Cannot listen on </translation>
    </message>
    <message>
        <source>MQTT 已连接 </source>
        <translation>MQTT connected </translation>
    </message>
    <message>
        <source>MQTT 无法连接 </source>
        <translation>MQTT cannot connect </translation>
    </message>
    <message>
        <source>（记录继续，稍后重试）</source>
        <translation> (recording goes on; trying again later)</translation>
    </message>
    <message>
        <source>高限</source>
        <translation>High</translation>
    </message>
    <message>
        <source>低限</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>通信中断</source>
        <translation>Comm loss</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>已确认</source>
        <translation>Acknowledged</translation>
    </message>
    <message>
        <source>已恢复</source>
        <translation>Cleared</translation>
    </message>
    <message>
        <source>死区</source>
        <translation>Deadband</translation>
    </message>
    <message>
        <source>延时(s)</source>
        <translation>Delay (s)</translation>
    </message>
    <message>
        <source>通信中断(次)</source>
        <translation>Comm loss (n)</translation>
    </message>
    <message>
        <source>报警未确认：</source>
        <translation>Unacknowledged alarm: </translation>
    </message>
    <message>
        <source>报警未确认 </source>
        <translation>Unacknowledged alarms: </translation>
    </message>
    <message>
        <source> 条，最新：</source>
        <translation>, latest: </translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel </translation>
    </message>
    <message>
        <source>停止监视</source>
        <translation>Not watched</translation>
    </message>
    <message>
        <source>已结束</source>
        <translation>Over</translation>
    </message>
    <message>
        <source>的“</source>
        <translation> “</translation>
    </message>
    <message>
        <source>”</source>
        <translation>”</translation>
    </message>
    <message>
        <source>不是数值</source>
        <translation> is not a number</translation>
    </message>
    <message>
        <source>应为整数</source>
        <translation> must be a whole number</translation>
    </message>
    <message>
        <source>无法写入报警记录 </source>
        <translation>Cannot write the alarm log </translation>
    </message>
    <message>
        <source>报警设置文件 </source>
        <translation>Alarm settings file </translation>
    </message>
    <message>
        <source> 第 </source>
        <translation> line </translation>
    </message>
    <message>
        <source> 行</source>
        <translation></translation>
    </message>
    <message>
        <source>字段 </source>
        <translation>field </translation>
    </message>
    <message>
        <source>，本工作不报警</source>
        <translation>; this work runs without alarms</translation>
    </message>
    <message>
        <source>须为整数</source>
        <translation>must be a whole number</translation>
    </message>
    <message>
        <source>须为数值或 null</source>
        <translation>must be a number or null</translation>
    </message>
    <message>
        <source>须为数值</source>
        <translation>must be a number</translation>
    </message>
    <message>
        <source>每一项须为对象</source>
        <translation>each entry must be an object</translation>
    </message>
    <message>
        <source>未知字段</source>
        <translation>unknown field</translation>
    </message>
    <message>
        <source>缺少通道号</source>
        <translation>channel number missing</translation>
    </message>
    <message>
        <source>通道须在 1 到 </source>
        <translation>channel must be from 1 to </translation>
    </message>
    <message>
        <source> 之间</source>
        <translation></translation>
    </message>
    <message>
        <source>通道须从 1 起</source>
        <translation>channels count from 1</translation>
    </message>
    <message>
        <source>须为有限数值</source>
        <translation>must be a finite number</translation>
    </message>
    <message>
        <source>低限高于高限</source>
        <translation>low limit above high limit</translation>
    </message>
    <message>
        <source>死区不能为负数</source>
        <translation>deadband may not be negative</translation>
    </message>
    <message>
        <source>延时不能为负数</source>
        <translation>delay may not be negative</translation>
    </message>
    <message>
        <source>通信中断次数须在 0 到 </source>
        <translation>comm loss count must be from 0 to </translation>
    </message>
    <message>
        <source> 无法读取，本工作不报警</source>
        <translation> cannot be read; this work runs without alarms</translation>
    </message>
    <message>
        <source> 过大，本工作不报警</source>
        <translation> is too large; this work runs without alarms</translation>
    </message>
    <message>
        <source>不是有效的 JSON</source>
        <translation>not valid JSON</translation>
    </message>
    <message>
        <source>须为一个对象 {&quot;version&quot;: 1, &quot;channels&quot;: [...]}</source>
        <translation>must be an object {&quot;version&quot;: 1, &quot;channels&quot;: [...]}</translation>
    </message>
    <message>
        <source>缺少版本号</source>
        <translation>version missing</translation>
    </message>
    <message>
        <source>版本须为 1</source>
        <translation>version must be 1</translation>
    </message>
    <message>
        <source>须为数组</source>
        <translation>must be an array</translation>
    </message>
    <message>
        <source>通道 </source>
        <translation>channel </translation>
    </message>
    <message>
        <source> 重复</source>
        <translation> given twice</translation>
    </message>
    <message>
        <source>%lld天 %d:%02d:%02d</source>
        <translation>%lldd %d:%02d:%02d</translation>
    </message>
    <message>
        <source>%d秒</source>
        <translation>%d s</translation>
    </message>
    <message>
        <source>文件正在写入，请稍后再试！！！</source>
        <translation>The file is being written; please try again later!</translation>
    </message>
</context>
<context>
    <name>tervo::gui::AlarmCenter</name>
    <message>
        <source>报警：%1</source>
        <translation>Alarm: %1</translation>
    </message>
</context>
<context>
    <name>tervo::gui::AlarmListView</name>
    <message>
        <source>报警</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>工作</source>
        <translation>Work</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>声音提示</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Acknowledge</translation>
    </message>
    <message>
        <source>确认选中的报警；未选中时确认全部报警</source>
        <translation>Acknowledge the selected alarms; all of them when none is selected</translation>
    </message>
    <message>
        <source>没有未确认的报警</source>
        <translation>No unacknowledged alarm</translation>
    </message>
    <message>
        <source>未确认的报警：%1 条</source>
        <translation>Unacknowledged alarms: %1</translation>
    </message>
</context>
<context>
    <name>tervo::gui::AlarmSettingsDialog</name>
    <message>
        <source>报警设置</source>
        <translation>Alarm Settings</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>高限、低限留空为不报警；越限持续到延时才报警，回到限内超过死区才恢复；通信中断为连续读数失败的次数，0为不检测。</source>
        <translation>An empty limit is off. An alarm comes once the value stays beyond a limit for the delay and clears once it is back inside by the deadband. Comm loss counts failed readings in a row; 0 is off.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tervo::gui::CurveView</name>
    <message>
        <source>添加工作点</source>
        <translation>Add pt</translation>
    </message>
    <message>
        <source>删除工作点</source>
        <translation>Del pt</translation>
    </message>
    <message>
        <source>保存曲线</source>
        <translation>Save curve</translation>
    </message>
    <message>
        <source>下载曲线</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>选择曲线点</source>
        <translation>Next pt</translation>
    </message>
    <message>
        <source>修改曲线点</source>
        <translation>Edit pt</translation>
    </message>
    <message>
        <source>运行曲线</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>暂停曲线</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>停止曲线</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>PC控制</source>
        <translation>PC ctrl</translation>
    </message>
</context>
<context>
    <name>tervo::gui::HistoryView</name>
    <message>
        <source>曲线图</source>
        <translation>Curves</translation>
    </message>
    <message>
        <source>周期图</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>周期曲线图</source>
        <translation>Fold</translation>
    </message>
    <message>
        <source>表格</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>事件表</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>通道信息</source>
        <translation>Channels</translation>
    </message>
</context>
<context>
    <name>tervo::gui::MainWindow</name>
    <message>
        <source>设置起始标题</source>
        <translation>Set Start Title</translation>
    </message>
    <message>
        <source>串口映射</source>
        <translation>Serial ports</translation>
    </message>
    <message>
        <source>设置 COM1～COM6 所对应的串口设备</source>
        <translation>Set the serial device of COM1 to COM6</translation>
    </message>
    <message>
        <source>网络发布</source>
        <translation>Network publishing</translation>
    </message>
    <message>
        <source>设置实时数据的 MQTT 发布和指标页</source>
        <translation>Set up MQTT publishing and the metrics page for live data</translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Bus monitor</translation>
    </message>
    <message>
        <source>查看各仪表的通信情况和收发的帧</source>
        <translation>Watch every controller&apos;s exchanges and frames</translation>
    </message>
    <message>
        <source>打印(&amp;P)...	Ctrl+P</source>
        <translation>&amp;Print...	Ctrl+P</translation>
    </message>
    <message>
        <source>打印活动文档</source>
        <translation>Print the active document</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>打印预览(&amp;V)</source>
        <translation>Print Pre&amp;view</translation>
    </message>
    <message>
        <source>显示整页</source>
        <translation>Show whole pages</translation>
    </message>
    <message>
        <source>打印预览</source>
        <translation>Print Preview</translation>
    </message>
    <message>
        <source>打印设置(&amp;R)...</source>
        <translation>P&amp;rint Setup...</translation>
    </message>
    <message>
        <source>更改打印机及打印选项</source>
        <translation>Change the printer and printing options</translation>
    </message>
    <message>
        <source>打印设置</source>
        <translation>Print Setup</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>退出应用程序；提示保存文档</source>
        <translation>Quit the application</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>串口测试</source>
        <translation>Line Test</translation>
    </message>
    <message>
        <source>开始通信测试程序</source>
        <translation>Start the line test</translation>
    </message>
    <message>
        <source>新建仪表模板</source>
        <translation>New Instrument Template</translation>
    </message>
    <message>
        <source>打开仪表模板</source>
        <translation>Open Instrument Template</translation>
    </message>
    <message>
        <source>打开仪表模拟模板</source>
        <translation>Open an instrument template</translation>
    </message>
    <message>
        <source>保存仪表模板</source>
        <translation>Save Instrument Template</translation>
    </message>
    <message>
        <source>仪表参数修改</source>
        <translation>Controller parameters</translation>
    </message>
    <message>
        <source>开始仪表参数设置工作</source>
        <translation>Read and change controller parameters</translation>
    </message>
    <message>
        <source>新建工作界面</source>
        <translation>New Work</translation>
    </message>
    <message>
        <source>打开工作界面</source>
        <translation>Open Work</translation>
    </message>
    <message>
        <source>打开工作模板</source>
        <translation>Open a work template</translation>
    </message>
    <message>
        <source>跟踪曲线设置</source>
        <translation>Tracking curves</translation>
    </message>
    <message>
        <source>进入曲线跟踪设置</source>
        <translation>Edit tracking curves</translation>
    </message>
    <message>
        <source>曲线跟踪设置</source>
        <translation>Tracking curves</translation>
    </message>
    <message>
        <source>保存曲线</source>
        <translation>Save curve</translation>
    </message>
    <message>
        <source>打开历史记录</source>
        <translation>Open Record</translation>
    </message>
    <message>
        <source>数据分析</source>
        <translation>Data analysis</translation>
    </message>
    <message>
        <source>工具栏(&amp;T)</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>显示或隐藏工具栏</source>
        <translation>Show or hide the toolbar</translation>
    </message>
    <message>
        <source>切换工具栏</source>
        <translation>Toggle toolbar</translation>
    </message>
    <message>
        <source>状态栏(&amp;S)</source>
        <translation>&amp;Status Bar</translation>
    </message>
    <message>
        <source>显示或隐藏状态栏</source>
        <translation>Show or hide the status bar</translation>
    </message>
    <message>
        <source>切换状态栏</source>
        <translation>Toggle status bar</translation>
    </message>
    <message>
        <source>排列图标(&amp;A)</source>
        <translation>&amp;Arrange Icons</translation>
    </message>
    <message>
        <source>将图标排列在窗口底部</source>
        <translation>Arrange icons at the bottom of the window</translation>
    </message>
    <message>
        <source>排列图标</source>
        <translation>Arrange icons</translation>
    </message>
    <message>
        <source>层叠(&amp;C)</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>以互相重叠方式排列窗口</source>
        <translation>Arrange windows so they overlap</translation>
    </message>
    <message>
        <source>层叠窗口</source>
        <translation>Cascade windows</translation>
    </message>
    <message>
        <source>平铺(&amp;T)</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>以互不重叠方式排列窗口</source>
        <translation>Arrange windows side by side</translation>
    </message>
    <message>
        <source>平铺窗口</source>
        <translation>Tile windows</translation>
    </message>
    <message>
        <source>关于 Tervo(&amp;A)...</source>
        <translation>&amp;About Tervo...</translation>
    </message>
    <message>
        <source>显示程序信息，版本号和版权</source>
        <translation>Show the program&apos;s information, version and licence</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>帮助文件</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>切换到下一个窗口</source>
        <translation>Switch to the next window</translation>
    </message>
    <message>
        <source>切换窗口</source>
        <translation>Next window</translation>
    </message>
    <message>
        <source>建立新文档</source>
        <translation>Create a new document</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>打开一个现有文档</source>
        <translation>Open an existing document</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存活动文档</source>
        <translation>Save the active document</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>撤消最后一个操作</source>
        <translation>Undo the last action</translation>
    </message>
    <message>
        <source>撤消</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>剪切选定内容并将其放到剪贴板上</source>
        <translation>Cut the selection to the clipboard</translation>
    </message>
    <message>
        <source>剪切</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>复制选定内容并将其放到剪贴板上</source>
        <translation>Copy the selection to the clipboard</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>插入剪贴板内容</source>
        <translation>Paste the clipboard</translation>
    </message>
    <message>
        <source>粘贴</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>切换到下一个窗格</source>
        <translation>Switch to the next pane</translation>
    </message>
    <message>
        <source>下一窗格</source>
        <translation>Next pane</translation>
    </message>
    <message>
        <source>切换回前一个窗格</source>
        <translation>Switch back to the previous pane</translation>
    </message>
    <message>
        <source>前一窗格</source>
        <translation>Previous pane</translation>
    </message>
    <message>
        <source>系统服务</source>
        <translation>&amp;System</translation>
    </message>
    <message>
        <source>通信测试</source>
        <translation>&amp;Line Test</translation>
    </message>
    <message>
        <source>实时记录</source>
        <translation>&amp;Recording</translation>
    </message>
    <message>
        <source>历史记录分析</source>
        <translation>&amp;History</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>界面切换</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>查看和确认各工作的报警</source>
        <translation>See and acknowledge the works&apos; alarms</translation>
    </message>
    <message>
        <source>报警设置</source>
        <translation>Alarm Settings</translation>
    </message>
    <message>
        <source>设置当前工作各通道的报警</source>
        <translation>Set the alarms of the active work&apos;s channels</translation>
    </message>
    <message>
        <source>趋势图</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>以趋势图显示当前工作或历史记录</source>
        <translation>Show the active work or record as a trend</translation>
    </message>
    <message>
        <source>打开报警列表</source>
        <translation>Open the alarm list</translation>
    </message>
</context>
<context>
    <name>tervo::gui::TrendPicture</name>
    <message>
        <source>光标 %1</source>
        <translation>Cursor %1</translation>
    </message>
    <message>
        <source>光标2 %1</source>
        <translation>Cursor 2 %1</translation>
    </message>
    <message>
        <source>间隔 %1</source>
        <translation>Interval %1</translation>
    </message>
</context>
<context>
    <name>tervo::gui::TrendView</name>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>跟随最新</source>
        <translation>Follow latest</translation>
    </message>
    <message>
        <source>自动量程</source>
        <translation>Auto range</translation>
    </message>
    <message>
        <source>固定量程...</source>
        <translation>Fixed range...</translation>
    </message>
    <message>
        <source>按参数分轴</source>
        <translation>Axis per parameter</translation>
    </message>
    <message>
        <source>清除光标</source>
        <translation>Clear cursors</translation>
    </message>
    <message>
        <source>导出图片...</source>
        <translation>Export image...</translation>
    </message>
    <message>
        <source>导出CSV...</source>
        <translation>Export CSV...</translation>
    </message>
    <message>
        <source>打印...</source>
        <translation>Print...</translation>
    </message>
    <message>
        <source>固定量程</source>
        <translation>Fixed range</translation>
    </message>
    <message>
        <source>下限：</source>
        <translation>Low:</translation>
    </message>
    <message>
        <source>上限：</source>
        <translation>High:</translation>
    </message>
    <message>
        <source>上限须大于下限！！！</source>
        <translation>High must be above low!</translation>
    </message>
    <message>
        <source>趋势图</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>PNG图片(*.png);;SVG图片(*.svg)</source>
        <translation>PNG image (*.png);;SVG image (*.svg)</translation>
    </message>
    <message>
        <source>保存失败！！！</source>
        <translation>Saving failed!</translation>
    </message>
    <message>
        <source>CSV文件(*.csv);;所有文件(*.*)</source>
        <translation>CSV files (*.csv);;All files (*.*)</translation>
    </message>
</context>
<context>
    <name>tervo::gui::TrendWindow</name>
    <message>
        <source>趋势图 - %1</source>
        <translation>Trend - %1</translation>
    </message>
</context>
<context>
    <name>tervo::gui::WorkView</name>
    <message>
        <source>开始运行</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>停止运行</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>开始保存</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>结束保存</source>
        <translation>End rec</translation>
    </message>
    <message>
        <source>曲线图</source>
        <translation>Curves</translation>
    </message>
    <message>
        <source>环形图</source>
        <translation>Ring</translation>
    </message>
    <message>
        <source>周期图</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>列表显示</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>实时事件</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>通道设置</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>事件设置</source>
        <translation>Evt set</translation>
    </message>
    <message>
        <source>采样参数</source>
        <translation>Sampling</translation>
    </message>
    <message>
        <source>显示设置</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>放大显示</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小显示</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>无记录通道，无法设置报警！！！</source>
        <translation>No channels: alarms cannot be set!</translation>
    </message>
</context>
</TS>
