<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>DbcLoadNote</name>
    <message>
        <source>DBC文件有%1行无法解析,已跳过(第一处:第%2行)。</source>
        <translation>Lines of the DBC file that could not be read and were skipped: %1 (the first: line %2).</translation>
    </message>
    <message>
        <source>文件含扩展多路复用(SG_MUL_VAL_),未解析:多路复用信号只按其m/M标记显示。</source>
        <translation>The file uses extended multiplexing (SG_MUL_VAL_), which is not read: multiplexed signals follow their m/M marks only.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>(Orvane 开发组)</source>
        <translation> (Orvane team)</translation>
    </message>
    <message>
        <source>USBCAN1-A</source>
        <translation>USBCAN1-A</translation>
    </message>
    <message>
        <source>USBCAN1-B</source>
        <translation>USBCAN1-B</translation>
    </message>
    <message>
        <source>USBCAN2-A</source>
        <translation>USBCAN2-A</translation>
    </message>
    <message>
        <source>USBCAN2-B</source>
        <translation>USBCAN2-B</translation>
    </message>
    <message>
        <source>欢迎界面</source>
        <translation>Welcome</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>重启生效,确定切换语言?</source>
        <translation>The language changes after a restart of the window. Switch now?</translation>
    </message>
    <message>
        <source>%1: %2帧数据将丢失,实时保存将停止</source>
        <translation>%1: %2 frames will be lost, the recording will stop</translation>
    </message>
    <message>
        <source>%1: %2帧数据将丢失</source>
        <translation>%1: %2 frames will be lost</translation>
    </message>
    <message>
        <source>%1: 实时保存将停止</source>
        <translation>%1: the recording will stop</translation>
    </message>
    <message>
        <source>DBC解析窗口%1: 监听列表有未保存的修改</source>
        <translation>DBC Analysis window%1: the listen list has unsaved changes</translation>
    </message>
    <message>
        <source>DBC发送窗口%1: 发送列表有未保存的修改</source>
        <translation>DBC Send window%1: the send list has unsaved changes</translation>
    </message>
    <message>
        <source>%1需要独占设备,开始前将关闭所有通道:</source>
        <translation>%1: this tool needs the adapter to itself, every channel is closed before it starts:</translation>
    </message>
    <message>
        <source>确定继续?</source>
        <translation>Continue?</translation>
    </message>
    <message>
        <source>切换语言将关闭所有设备和工具窗口:</source>
        <translation>Switching the language closes every device and tool window:</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>权限不足,调用系统应用失败!</source>
        <translation>Permission denied: the system application could not be started!</translation>
    </message>
    <message>
        <source>软件信息</source>
        <translation>About</translation>
    </message>
    <message>
        <source>OrvaneSuite(Orvane 开发组)</source>
        <translation>OrvaneSuite (Orvane team)</translation>
    </message>
    <message>
        <source>数据清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>显示设置</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>数据显示设置</source>
        <translation>Display settings of the data</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>中继配置</source>
        <translation>Relay</translation>
    </message>
    <message>
        <source>波特率侦测</source>
        <translation>Baud Detect</translation>
    </message>
    <message>
        <source>波特率计算器</source>
        <translation>Bit Rate Calculator</translation>
    </message>
    <message>
        <source>停止显示</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>快速使用指南</source>
        <translation>Quick Start</translation>
    </message>
    <message>
        <source>用户手册</source>
        <translation>User Manual</translation>
    </message>
    <message>
        <source>产品购买</source>
        <translation>Shop</translation>
    </message>
    <message>
        <source>资料下载</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>设备升级</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>firmUpdate</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>数据保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>实时保存</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>数据回放</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>数据过滤</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>数据软件过滤</source>
        <translation>Software filter of the received data</translation>
    </message>
    <message>
        <source>工具合集</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>工具集</source>
        <translation>Tool set</translation>
    </message>
    <message>
        <source>CAN/FD适配器</source>
        <translation>CAN/FD Adapter</translation>
    </message>
    <message>
        <source>LIN适配器</source>
        <translation>LIN Adapter</translation>
    </message>
    <message>
        <source>CAN/FD记录仪</source>
        <translation>CAN/FD Recorder</translation>
    </message>
    <message>
        <source>CAN/FD数据记录仪</source>
        <translation>CAN/FD data recorder</translation>
    </message>
    <message>
        <source>选择设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
    <message>
        <source>设备打开失败!</source>
        <translation>Failed to open the device!</translation>
    </message>
    <message>
        <source>设备初始化失败!</source>
        <translation>Failed to initialise the device!</translation>
    </message>
    <message>
        <source>设备参数错误!</source>
        <translation>Device parameter error!</translation>
    </message>
    <message>
        <source>设备打开成功!</source>
        <translation>Device opened!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>设备已处于中继模式,无法正常收发数据,如果要正常接收和发送数据，<byte value="xd"/>
                请先关闭中继功能([工具]-&gt;[中继配置])，再打开设备!!</source>
        <translation>The device is in relay mode and cannot receive or send normally. To receive and send data, <byte value="xd"/>
                switch the relay off first ([Tools]-&gt;[Relay Configuration]), then open the device again!!</translation>
    </message>
    <message>
        <source>设备处于只听模式,无法正常发送数据,如果要正常发送数据，<byte value="xd"/>
                请修改设备工作模式为[正常模式]([选择设备]-&gt;[设备]-&gt;[工作模式])，再打开设备!!</source>
        <translation>The device is in listen-only mode and cannot send. To send data, <byte value="xd"/>
                set its work mode to [Normal Mode] ([Select Device]-&gt;[Device]-&gt;[Work Mode]), then open the device again!!</translation>
    </message>
    <message>
        <source>设备关闭失败!</source>
        <translation>Failed to close the device!</translation>
    </message>
    <message>
        <source>适配器 %1 已断开连接(已拔出或不再应答)!</source>
        <translation>Adapter %1 is disconnected (unplugged or no longer answering)!</translation>
    </message>
    <message>
        <source>它的通道已关闭。</source>
        <translation>Its channels are closed.</translation>
    </message>
    <message>
        <source>实时保存已停止,文件已关闭。</source>
        <translation>Real-time recording has stopped; its file is closed.</translation>
    </message>
    <message>
        <source>重新连接后,请再次打开设备。</source>
        <translation>Once it is connected again, open the device again.</translation>
    </message>
    <message>
        <source>设备已关闭!</source>
        <translation>Device closed!</translation>
    </message>
    <message>
        <source>发送失败!</source>
        <translation>Send failed!</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>传输方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>时间标志</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>周期(us)</source>
        <translation>Period(us)</translation>
    </message>
    <message>
        <source>数量</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>帧ID</source>
        <translation>Frame ID</translation>
    </message>
    <message>
        <source>帧格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>帧类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>电脑时间</source>
        <translation>PC Time</translation>
    </message>
    <message>
        <source>设备时间</source>
        <translation>Device Time</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>十进制</source>
        <translation>Decimal</translation>
    </message>
    <message>
        <source>使能 </source>
        <translation>Enable </translation>
    </message>
    <message>
        <source>ID格式:</source>
        <translation>ID format:</translation>
    </message>
    <message>
        <source>控制表格内部的ID显示格式</source>
        <translation>How IDs are shown in the table</translation>
    </message>
    <message>
        <source>数据格式:</source>
        <translation>Data format:</translation>
    </message>
    <message>
        <source>控制表格内部的数据显示格式</source>
        <translation>How data is shown in the table</translation>
    </message>
    <message>
        <source>合并相同ID:</source>
        <translation>Merge same ID:</translation>
    </message>
    <message>
        <source>相同ID的帧显示在同一行</source>
        <translation>Frames with the same ID share one row</translation>
    </message>
    <message>
        <source>显示发送帧:</source>
        <translation>Show sent frames:</translation>
    </message>
    <message>
        <source>方向为&quot;发送&quot;的帧参与显示</source>
        <translation>Frames sent by this tool are shown</translation>
    </message>
    <message>
        <source>硬件时间:</source>
        <translation>Hardware time:</translation>
    </message>
    <message>
        <source>使用硬件时间参与相关计算</source>
        <translation>Calculations use adapter time</translation>
    </message>
    <message>
        <source>最大帧数量:</source>
        <translation>Max frames:</translation>
    </message>
    <message>
        <source>显示缓冲区最大帧保存数量</source>
        <translation>Most frames kept for display</translation>
    </message>
    <message>
        <source>软件主题:</source>
        <translation>Theme:</translation>
    </message>
    <message>
        <source>蓝色</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>绿色</source>
        <translation>Green</translation>
    </message>
    <message>
        <source>红色</source>
        <translation>Red</translation>
    </message>
    <message>
        <source>重启软件生效</source>
        <translation>Takes effect after a restart</translation>
    </message>
    <message>
        <source>自动滚动已关闭!</source>
        <translation>Auto scroll off!</translation>
    </message>
    <message>
        <source>自动滚动已开启!</source>
        <translation>Auto scroll on!</translation>
    </message>
    <message>
        <source>请先[选择设备]!!!</source>
        <translation>Please [select a device] first!!!</translation>
    </message>
    <message>
        <source>数据过滤已关闭!</source>
        <translation>Filter off!</translation>
    </message>
    <message>
        <source>过滤参数获取失败!!!</source>
        <translation>Could not get the filter settings!!!</translation>
    </message>
    <message>
        <source>数据过滤设置</source>
        <translation>Filter settings</translation>
    </message>
    <message>
        <source>数据过滤已开启!</source>
        <translation>Filter on!</translation>
    </message>
    <message>
        <source>无数据可以保存!!!</source>
        <translation>No data to save!!!</translation>
    </message>
    <message>
        <source>保存失败,文件创建失败!</source>
        <translation>Save failed: the file could not be created!</translation>
    </message>
    <message>
        <source>保存失败,数据写入失败!(已写入%1条,共%2条)</source>
        <translation>Save failed: write error! (%1 of %2 frames written)</translation>
    </message>
    <message>
        <source>数据保存完成!</source>
        <translation>Data saved!</translation>
    </message>
    <message>
        <source>实时保存已停止!</source>
        <translation>Recording stopped!</translation>
    </message>
    <message>
        <source>启动失败!存储路径空!!</source>
        <translation>Start failed! No file chosen!!</translation>
    </message>
    <message>
        <source>实时保存已开启!</source>
        <translation>Recording started!</translation>
    </message>
    <message>
        <source>启动失败!请选择有读写权限的路径!</source>
        <translation>Start failed! Choose a folder you can write to!</translation>
    </message>
    <message>
        <source>实时保存写入失败,已停止!</source>
        <translation>Recording write failed, stopped!</translation>
    </message>
    <message>
        <source>DBC解析</source>
        <translation>DBC Analysis</translation>
    </message>
    <message>
        <source>DBC发送</source>
        <translation>DBC Send</translation>
    </message>
    <message>
        <source>CANopen操作</source>
        <translation>CANopen</translation>
    </message>
    <message>
        <source>CAN记录文件查看器启动</source>
        <translation>Trace file viewer started</translation>
    </message>
    <message>
        <source>文件查看器</source>
        <translation>File Viewer</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>数据保存中,请稍候...</source>
        <translation>Saving data, please wait...</translation>
    </message>
    <message>
        <source>注释</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>帧协议</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>数据(HEX)</source>
        <translation>Data (hex)</translation>
    </message>
    <message>
        <source>失败停止</source>
        <translation>Stop on error</translation>
    </message>
    <message>
        <source>失败继续</source>
        <translation>Go on after error</translation>
    </message>
    <message>
        <source>发送模式:</source>
        <translation>Send mode:</translation>
    </message>
    <message>
        <source>循环次数:</source>
        <translation>Loops:</translation>
    </message>
    <message>
        <source>每次发送间隔(ms):</source>
        <translation>Loop gap (ms):</translation>
    </message>
    <message>
        <source>每帧发送间隔(ms):</source>
        <translation>Frame gap (ms):</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>加载配置</source>
        <translation>Load list</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>Save list</translation>
    </message>
    <message>
        <source>高级发送</source>
        <translation>Advanced Send</translation>
    </message>
    <message>
        <source>新增</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>清空列表</source>
        <translation>Clear list</translation>
    </message>
    <message>
        <source>注释中的半角逗号&quot;,&quot;保存为全角逗号&quot;，&quot;(配置文件以逗号分隔字段)</source>
        <translation>A comma &quot;,&quot; in a comment is saved as &quot;，&quot; (the list file separates fields by commas)</translation>
    </message>
    <message>
        <source>请先[选择设备]!</source>
        <translation>Please [select a device] first!</translation>
    </message>
    <message>
        <source>发送列表空!!!</source>
        <translation>The send list is empty!!!</translation>
    </message>
    <message>
        <source>发送列表中没有勾选的行,请在&quot;序号&quot;列勾选要发送的行!!!</source>
        <translation>No row of the send list is ticked: tick the rows to send in the &quot;No.&quot; column!</translation>
    </message>
    <message>
        <source>循环次数不能为0!!!</source>
        <translation>Loops cannot be 0!!!</translation>
    </message>
    <message>
        <source>确定是否删除消息?</source>
        <translation>Delete this message?</translation>
    </message>
    <message>
        <source>确定是否清空消息?</source>
        <translation>Clear all messages?</translation>
    </message>
    <message>
        <source>发送列表空!</source>
        <translation>The send list is empty!</translation>
    </message>
    <message>
        <source>保存成功!</source>
        <translation>Saved!</translation>
    </message>
    <message>
        <source>保存失败!</source>
        <translation>Save failed!</translation>
    </message>
    <message>
        <source>第%1行: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>以下条目无效,未加载:</source>
        <translation>These entries are invalid and were not loaded:</translation>
    </message>
    <message>
        <source>正常发送</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>单次发送</source>
        <translation>Single shot</translation>
    </message>
    <message>
        <source>自发自收</source>
        <translation>Self test</translation>
    </message>
    <message>
        <source>CAN</source>
        <translation>CAN</translation>
    </message>
    <message>
        <source>CANFD</source>
        <translation>CANFD</translation>
    </message>
    <message>
        <source>CANFD加速</source>
        <translation>CANFD BRS</translation>
    </message>
    <message>
        <source>标准帧</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>扩展帧</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>数据帧</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>远程帧</source>
        <translation>Remote</translation>
    </message>
    <message>
        <source>发送方式:</source>
        <translation>Send type:</translation>
    </message>
    <message>
        <source>帧协议:</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source>帧类型:</source>
        <translation>Frame type:</translation>
    </message>
    <message>
        <source>帧格式:</source>
        <translation>Frame format:</translation>
    </message>
    <message>
        <source>帧ID(16进制):</source>
        <translation>Frame ID (hex):</translation>
    </message>
    <message>
        <source>数据长度:</source>
        <translation>Data length:</translation>
    </message>
    <message>
        <source>数据(16进制):</source>
        <translation>Data (hex):</translation>
    </message>
    <message>
        <source>ID递增</source>
        <translation>ID increment</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>每次发送帧数:</source>
        <translation>Frames per send:</translation>
    </message>
    <message>
        <source>发送次数:</source>
        <translation>Send count:</translation>
    </message>
    <message>
        <source>发送间隔(毫秒):</source>
        <translation>Interval (ms):</translation>
    </message>
    <message>
        <source>基础发送</source>
        <translation>Basic Send</translation>
    </message>
    <message>
        <source>扩展帧ID错误,有效范围:0-1FFFFFFF</source>
        <translation>Extended ID invalid, range: 0-1FFFFFFF</translation>
    </message>
    <message>
        <source>标准帧ID错误,有效范围:0-7FF</source>
        <translation>Standard ID invalid, range: 0-7FF</translation>
    </message>
    <message>
        <source>[每次发送帧数]:有效范围:</source>
        <translation>[Frames per send]: valid range: </translation>
    </message>
    <message>
        <source>过滤规则文件写入失败,数据过滤未开启!</source>
        <translation>The filter rule file could not be written; data filtering is not switched on!</translation>
    </message>
</context>
<context>
    <name>QFirmPackage</name>
    <message>
        <source>升级包为空!</source>
        <translation>The firmware package is empty!</translation>
    </message>
    <message>
        <source>文件大小错误!</source>
        <translation>Wrong file size!</translation>
    </message>
    <message>
        <source>文件名称长度错误!</source>
        <translation>Wrong file name length!</translation>
    </message>
    <message>
        <source>文件格式错误!</source>
        <translation>Wrong file format!</translation>
    </message>
    <message>
        <source>版本信息格式错误!</source>
        <translation>Wrong version format!</translation>
    </message>
    <message>
        <source>文件信息:</source>
        <translation>File: </translation>
    </message>
    <message>
        <source>大小:</source>
        <translation>Size: </translation>
    </message>
    <message>
        <source> 硬件版本:</source>
        <translation> Hardware: </translation>
    </message>
    <message>
        <source> 固件版本:</source>
        <translation> Firmware: </translation>
    </message>
</context>
<context>
    <name>QFirmUpdateSrv</name>
    <message>
        <source>升级失败，升级取消!!!</source>
        <translation>Update failed: cancelled!</translation>
    </message>
    <message>
        <source>升级失败，数据包发送失败!!!</source>
        <translation>Update failed: a data packet could not be sent!</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>设备:</source>
        <translation>DEV:</translation>
    </message>
    <message>
        <source>DEV:</source>
        <translation>DEV:</translation>
    </message>
    <message>
        <source>通道:</source>
        <translation>CH:</translation>
    </message>
    <message>
        <source>CH:</source>
        <translation>CH:</translation>
    </message>
    <message>
        <source> 配置</source>
        <translation> Settings</translation>
    </message>
    <message>
        <source>时钟:</source>
        <translation>Clock:</translation>
    </message>
    <message>
        <source>KHz</source>
        <translation>kHz</translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>Kbps</source>
        <translation>kbps</translation>
    </message>
    <message>
        <source>误差:</source>
        <translation>Error:</translation>
    </message>
    <message>
        <source>采样点:</source>
        <translation>Sample point:</translation>
    </message>
    <message>
        <source>控制器时钟固定为16MHz,每行为一组可用的定时器参数</source>
        <translation>Controller clock fixed at 16 MHz; each row is one usable pair of timing values</translation>
    </message>
    <message>
        <source>计算</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>设备索引:</source>
        <translation>Device index:</translation>
    </message>
    <message>
        <source>通道索引:</source>
        <translation>Channel index:</translation>
    </message>
    <message>
        <source>打开所有通道</source>
        <translation>Open all channels</translation>
    </message>
    <message>
        <source>工作协议:</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source>CANFD标准:</source>
        <translation>CAN FD standard:</translation>
    </message>
    <message>
        <source>工作模式:</source>
        <translation>Work mode:</translation>
    </message>
    <message>
        <source>正常模式</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>只听模式</source>
        <translation>Listen only</translation>
    </message>
    <message>
        <source>仲裁域波特率:</source>
        <translation>Arbitration rate:</translation>
    </message>
    <message>
        <source>数据域波特率:</source>
        <translation>Data rate:</translation>
    </message>
    <message>
        <source>自定义波特率(可选项)</source>
        <translation>Custom bit rate (optional)</translation>
    </message>
    <message>
        <source>波特率计算器</source>
        <translation>Bit Rate Calculator</translation>
    </message>
    <message>
        <source>开启滤波(可选项)</source>
        <translation>Enable filter (optional)</translation>
    </message>
    <message>
        <source>当前滤波规则数量:1条</source>
        <translation>Filter rules: 1</translation>
    </message>
    <message>
        <source>滤波配置</source>
        <translation>Filter rules</translation>
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
        <source>kbps</source>
        <translation>kbps</translation>
    </message>
    <message>
        <source>允许误差:</source>
        <translation>Tolerance:</translation>
    </message>
    <message>
        <source>同步跳转宽度:</source>
        <translation>SJW:</translation>
    </message>
    <message>
        <source>+1</source>
        <translation>+1</translation>
    </message>
    <message>
        <source>设备类型:</source>
        <translation>Device type:</translation>
    </message>
    <message>
        <source>设备时钟:</source>
        <translation>Clock:</translation>
    </message>
    <message>
        <source>MHz</source>
        <translation>MHz</translation>
    </message>
    <message>
        <source>查看计算要点</source>
        <translation>Show the rules</translation>
    </message>
    <message>
        <source>输出结果:</source>
        <translation>Results:</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>仲裁域/CAN2.0</source>
        <translation>Arbitration / CAN 2.0</translation>
    </message>
    <message>
        <source>数据域</source>
        <translation>Data phase</translation>
    </message>
    <message>
        <source>步骤:填写期望波特率-&gt;点击[计算]-&gt;表格(仲裁域和数据域)里选择结果-&gt;点击[保存并退出]</source>
        <translation>Steps: enter the bit rates -&gt; [Calculate] -&gt; pick a result in each table (arbitration and data) -&gt; [Save and close]</translation>
    </message>
    <message>
        <source>保存并退出</source>
        <translation>Save and close</translation>
    </message>
    <message>
        <source>模式:</source>
        <translation>Mode:</translation>
    </message>
    <message>
        <source>起始帧ID:0x</source>
        <translation>Start ID: 0x</translation>
    </message>
    <message>
        <source>结束帧ID:0x</source>
        <translation>End ID: 0x</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>标准帧明确ID</source>
        <translation>Standard, single ID</translation>
    </message>
    <message>
        <source>标准帧组ID</source>
        <translation>Standard, ID range</translation>
    </message>
    <message>
        <source>扩展帧明确ID</source>
        <translation>Extended, single ID</translation>
    </message>
    <message>
        <source>扩展帧组ID</source>
        <translation>Extended, ID range</translation>
    </message>
    <message>
        <source>同时打开全部CAN通道</source>
        <translation>Open all CAN channels</translation>
    </message>
    <message>
        <source>通道号:</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>自定义波特率</source>
        <translation>Custom bit rate</translation>
    </message>
    <message>
        <source>波 特 率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>定时器0(TIME0):0x</source>
        <translation>Timing 0 (BTR0): 0x</translation>
    </message>
    <message>
        <source>定时器1(TIME1):0x</source>
        <translation>Timing 1 (BTR1): 0x</translation>
    </message>
    <message>
        <source>双滤波模式</source>
        <translation>Dual filter</translation>
    </message>
    <message>
        <source>单滤波模式</source>
        <translation>Single filter</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>只听</source>
        <translation>Listen only</translation>
    </message>
    <message>
        <source>滤波模式:</source>
        <translation>Filter mode:</translation>
    </message>
    <message>
        <source>验收码:0x</source>
        <translation>Code: 0x</translation>
    </message>
    <message>
        <source>屏蔽码:0x</source>
        <translation>Mask: 0x</translation>
    </message>
    <message>
        <source>[发送步长]:有效范围:</source>
        <translation>[Send step]: valid range: </translation>
    </message>
    <message>
        <source> 十六进制:</source>
        <translation> hex: </translation>
    </message>
    <message>
        <source>扩展帧</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>标准帧</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>普通信号</source>
        <translation>Plain</translation>
    </message>
    <message>
        <source>复用信号</source>
        <translation>Multiplexed</translation>
    </message>
    <message>
        <source>复用器开关</source>
        <translation>Multiplexer</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>消息名称:</source>
        <translation>Message name:</translation>
    </message>
    <message>
        <source>消息ID:</source>
        <translation>Message ID:</translation>
    </message>
    <message>
        <source>消息长度:</source>
        <translation>Message length:</translation>
    </message>
    <message>
        <source> 字节</source>
        <translation> bytes</translation>
    </message>
    <message>
        <source>包含信号数量:</source>
        <translation>Contains:</translation>
    </message>
    <message>
        <source> 个</source>
        <translation> signals</translation>
    </message>
    <message>
        <source>帧类型:</source>
        <translation>Frame type:</translation>
    </message>
    <message>
        <source>消息注释:</source>
        <translation>Message comment:</translation>
    </message>
    <message>
        <source>帧时间:</source>
        <translation>Frame time:</translation>
    </message>
    <message>
        <source>待定</source>
        <translation>TBD</translation>
    </message>
    <message>
        <source>0x</source>
        <translation>0x</translation>
    </message>
    <message>
        <source> &lt;实际传输计算所得ID&gt;</source>
        <translation> &lt;ID as computed when sent&gt;</translation>
    </message>
    <message>
        <source>帧ID:</source>
        <translation>Frame ID:</translation>
    </message>
    <message>
        <source>数据长度:</source>
        <translation>Data length:</translation>
    </message>
    <message>
        <source>数据内容:</source>
        <translation>Data:</translation>
    </message>
    <message>
        <source>所属消息:</source>
        <translation>Message:</translation>
    </message>
    <message>
        <source>信号名称:</source>
        <translation>Signal name:</translation>
    </message>
    <message>
        <source>起始位:</source>
        <translation>Start bit:</translation>
    </message>
    <message>
        <source>位长度:</source>
        <translation>Bit length:</translation>
    </message>
    <message>
        <source>转换因子:</source>
        <translation>Factor:</translation>
    </message>
    <message>
        <source>转换偏移:</source>
        <translation>Offset:</translation>
    </message>
    <message>
        <source>最小值:</source>
        <translation>Minimum:</translation>
    </message>
    <message>
        <source>最大值:</source>
        <translation>Maximum:</translation>
    </message>
    <message>
        <source>值描述:</source>
        <translation>Value table:</translation>
    </message>
    <message>
        <source>单位:</source>
        <translation>Unit:</translation>
    </message>
    <message>
        <source>字节顺序:</source>
        <translation>Byte order:</translation>
    </message>
    <message>
        <source>Motorola</source>
        <translation>Motorola</translation>
    </message>
    <message>
        <source>Intel</source>
        <translation>Intel</translation>
    </message>
    <message>
        <source>信号类型:</source>
        <translation>Signal type:</translation>
    </message>
    <message>
        <source>复用器开关值:</source>
        <translation>Multiplexer value:</translation>
    </message>
    <message>
        <source>信号注释:</source>
        <translation>Signal comment:</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>%1映射对象[%2,%3]超出PDO长度,其后的映射未写入</source>
        <translation>%1: mapped object [%2,%3] exceeds the PDO length; the mappings after it were not written</translation>
    </message>
    <message>
        <source>%1映射对象%2个,设备只提供%3个映射位置</source>
        <translation>%1: %2 mapped objects, but the device offers only %3 mapping entries</translation>
    </message>
    <message>
        <source>打开设备</source>
        <translation>Open device</translation>
    </message>
    <message>
        <source>关闭设备</source>
        <translation>Close device</translation>
    </message>
    <message>
        <source>侦测参数:</source>
        <translation>Scan range:</translation>
    </message>
    <message>
        <source>开始频率:</source>
        <translation>Start rate:</translation>
    </message>
    <message>
        <source>快速检测</source>
        <translation>Quick scan</translation>
    </message>
    <message>
        <source>结束频率:</source>
        <translation>End rate:</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>检测信息:</source>
        <translation>Results:</translation>
    </message>
    <message>
        <source>①连接设备</source>
        <translation>① Connect</translation>
    </message>
    <message>
        <source>升级文件:</source>
        <translation>Firmware file:</translation>
    </message>
    <message>
        <source>②选择升级包</source>
        <translation>② Select file</translation>
    </message>
    <message>
        <source>升级进度:</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>③开始</source>
        <translation>③ Start</translation>
    </message>
    <message>
        <source>波 特  率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>定时器0: </source>
        <translation>Timing 0: </translation>
    </message>
    <message>
        <source>定时器1:</source>
        <translation>Timing 1:</translation>
    </message>
    <message>
        <source>当前模式:</source>
        <translation>Current mode:</translation>
    </message>
    <message>
        <source>CAN1参数:</source>
        <translation>CAN1:</translation>
    </message>
    <message>
        <source>CAN2参数:</source>
        <translation>CAN2:</translation>
    </message>
    <message>
        <source>中继模式:</source>
        <translation>Relay mode:</translation>
    </message>
    <message>
        <source>(重启设备后生效)</source>
        <translation>(applies after a device restart)</translation>
    </message>
    <message>
        <source>开启中继</source>
        <translation>Relay on</translation>
    </message>
    <message>
        <source>关闭中继</source>
        <translation>Relay off</translation>
    </message>
    <message>
        <source>%1的COB-ID(0x%2)不可用,PDO保持无效</source>
        <translation>%1: COB-ID (0x%2) not usable; the PDO stays invalid</translation>
    </message>
    <message>
        <source>同步报文</source>
        <translation> message</translation>
    </message>
    <message>
        <source>LSS报文</source>
        <translation>LSS message</translation>
    </message>
    <message>
        <source>NMT状态切换请求</source>
        <translation>NMT state change</translation>
    </message>
    <message>
        <source>节点ID:</source>
        <translation>Node ID: </translation>
    </message>
    <message>
        <source>命令:</source>
        <translation>Command: </translation>
    </message>
    <message>
        <source>紧急报文</source>
        <translation>EMCY</translation>
    </message>
    <message>
        <source>错误代码:</source>
        <translation>Error code: </translation>
    </message>
    <message>
        <source>错误寄存器:</source>
        <translation>Error register: </translation>
    </message>
    <message>
        <source>自定义错误代码:</source>
        <translation>Vendor error: </translation>
    </message>
    <message>
        <source>时间同步</source>
        <translation>TIME</translation>
    </message>
    <message>
        <source>状态请求</source>
        <translation>Guard request</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Boot-up</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Operational</translation>
    </message>
    <message>
        <source>预操作</source>
        <translation>Pre-operational</translation>
    </message>
    <message>
        <source>未知状态-&gt;</source>
        <translation>Unknown state-&gt;</translation>
    </message>
    <message>
        <source>心跳报文</source>
        <translation>Heartbeat</translation>
    </message>
    <message>
        <source>状态:</source>
        <translation>State: </translation>
    </message>
    <message>
        <source>远程</source>
        <translation>Remote </translation>
    </message>
    <message>
        <source>请求</source>
        <translation> request</translation>
    </message>
    <message>
        <source>数据:</source>
        <translation>Data: </translation>
    </message>
    <message>
        <source>读</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>响应</source>
        <translation> response </translation>
    </message>
    <message>
        <source>写</source>
        <translation>Write </translation>
    </message>
    <message>
        <source>字节</source>
        <translation> bytes</translation>
    </message>
    <message>
        <source>异常错误</source>
        <translation>Abort</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>索引:0x</source>
        <translation>Index: 0x</translation>
    </message>
    <message>
        <source>子索引:0x</source>
        <translation>Sub-index: 0x</translation>
    </message>
    <message>
        <source>操作:</source>
        <translation>Operation: </translation>
    </message>
    <message>
        <source>未知命令</source>
        <translation>Unknown command</translation>
    </message>
    <message>
        <source>启动节点</source>
        <translation>Start node</translation>
    </message>
    <message>
        <source>停止节点</source>
        <translation>Stop node</translation>
    </message>
    <message>
        <source>进入预操作状态</source>
        <translation>Enter pre-operational</translation>
    </message>
    <message>
        <source>复位节点应用层</source>
        <translation>Reset node</translation>
    </message>
    <message>
        <source>复位节点通讯</source>
        <translation>Reset communication</translation>
    </message>
    <message>
        <source>触发位未交替</source>
        <translation>Toggle bit not alternated</translation>
    </message>
    <message>
        <source>SDO协议超时</source>
        <translation>SDO protocol timed out</translation>
    </message>
    <message>
        <source>命令字无效或未知</source>
        <translation>Command specifier not valid or unknown</translation>
    </message>
    <message>
        <source>无效的块大小</source>
        <translation>Invalid block size</translation>
    </message>
    <message>
        <source>无效的序号</source>
        <translation>Invalid sequence number</translation>
    </message>
    <message>
        <source>CRC错误</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>内存溢出</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>不支持访问该对象</source>
        <translation>Unsupported access to an object</translation>
    </message>
    <message>
        <source>试图读只写对象</source>
        <translation>Attempt to read a write-only object</translation>
    </message>
    <message>
        <source>试图写只读对象</source>
        <translation>Attempt to write a read-only object</translation>
    </message>
    <message>
        <source>对象字典中不存在该对象</source>
        <translation>Object does not exist in the object dictionary</translation>
    </message>
    <message>
        <source>对象不能映射到PDO</source>
        <translation>Object cannot be mapped to the PDO</translation>
    </message>
    <message>
        <source>映射对象的数量和长度超出PDO长度</source>
        <translation>Number and length of the mapped objects exceed the PDO length</translation>
    </message>
    <message>
        <source>一般性参数不兼容</source>
        <translation>General parameter incompatibility</translation>
    </message>
    <message>
        <source>设备内部一般性不兼容</source>
        <translation>General internal incompatibility in the device</translation>
    </message>
    <message>
        <source>硬件错误导致访问失败</source>
        <translation>Access failed due to a hardware error</translation>
    </message>
    <message>
        <source>数据类型不匹配,服务参数长度不匹配</source>
        <translation>Data type does not match: wrong length of service parameter</translation>
    </message>
    <message>
        <source>数据类型不匹配,服务参数长度太大</source>
        <translation>Data type does not match: service parameter too long</translation>
    </message>
    <message>
        <source>数据类型不匹配,服务参数长度太小</source>
        <translation>Data type does not match: service parameter too short</translation>
    </message>
    <message>
        <source>子索引不存在</source>
        <translation>Sub-index does not exist</translation>
    </message>
    <message>
        <source>参数值无效</source>
        <translation>Invalid value for parameter</translation>
    </message>
    <message>
        <source>写入的参数值太大</source>
        <translation>Value of parameter written too high</translation>
    </message>
    <message>
        <source>写入的参数值太小</source>
        <translation>Value of parameter written too low</translation>
    </message>
    <message>
        <source>最大值小于最小值</source>
        <translation>Maximum value is less than minimum value</translation>
    </message>
    <message>
        <source>SDO连接资源不可用</source>
        <translation>Resource not available: SDO connection</translation>
    </message>
    <message>
        <source>一般性错误</source>
        <translation>General error</translation>
    </message>
    <message>
        <source>数据不能传送或保存到应用</source>
        <translation>Data cannot be transferred or stored to the application</translation>
    </message>
    <message>
        <source>因本地控制,数据不能传送或保存到应用</source>
        <translation>Data cannot be transferred or stored to the application because of local control</translation>
    </message>
    <message>
        <source>因当前设备状态,数据不能传送或保存到应用</source>
        <translation>Data cannot be transferred or stored to the application because of the present device state</translation>
    </message>
    <message>
        <source>对象字典动态生成失败或对象字典不存在</source>
        <translation>Object dictionary generation failed or no object dictionary present</translation>
    </message>
    <message>
        <source>无可用数据</source>
        <translation>No data available</translation>
    </message>
    <message>
        <source>新增</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Edit</translation>
    </message>
</context>
<context>
    <name>QProgressDialog</name>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>QRibbon</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>这是标题</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>主题</source>
        <translation>Theme</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>窗体</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>视图</source>
        <translation>View</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>蓝色</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>绿色</source>
        <translation>Green</translation>
    </message>
    <message>
        <source>红色</source>
        <translation>Red</translation>
    </message>
</context>
<context>
    <name>QUserAdvanceSend</name>
    <message>
        <source>帧ID不是1-8位16进制数</source>
        <translation>The frame ID is not 1-8 hex digits</translation>
    </message>
    <message>
        <source>帧类型或帧格式无效</source>
        <translation>Invalid frame type or format</translation>
    </message>
    <message>
        <source>扩展帧ID超出范围0-1FFFFFFF</source>
        <translation>Extended ID outside 0-1FFFFFFF</translation>
    </message>
    <message>
        <source>标准帧ID超出范围0-7FF</source>
        <translation>Standard ID outside 0-7FF</translation>
    </message>
    <message>
        <source>帧协议无效</source>
        <translation>Invalid protocol</translation>
    </message>
    <message>
        <source>CANFD没有远程帧</source>
        <translation>CAN FD has no remote frames</translation>
    </message>
    <message>
        <source>数据长度无效</source>
        <translation>Invalid data length</translation>
    </message>
    <message>
        <source>数据不是16进制数</source>
        <translation>The data is not hexadecimal</translation>
    </message>
    <message>
        <source>远程帧长度须为0且无数据</source>
        <translation>A remote frame has length 0 and no data</translation>
    </message>
    <message>
        <source>数据字节数与长度不符</source>
        <translation>The data bytes do not match the length</translation>
    </message>
    <message>
        <source>字段数为%1,应为8</source>
        <translation>%1 fields instead of 8</translation>
    </message>
</context>
<context>
    <name>QUserDlgBaudCalculator</name>
    <message>
        <source>波特率计算器</source>
        <translation>Bit Rate Calculator</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>定时器0</source>
        <translation>Timing 0</translation>
    </message>
    <message>
        <source>定时器1</source>
        <translation>Timing 1</translation>
    </message>
    <message>
        <source>采样点</source>
        <translation>Sample point</translation>
    </message>
    <message>
        <source>实际波特率</source>
        <translation>Actual rate</translation>
    </message>
    <message>
        <source>误差</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>总线时序寄存器</source>
        <translation>Bus timing registers</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>计算完毕!</source>
        <translation>Done!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>计算结果空,请检查参数!</source>
        <translation>No result; check the parameters!</translation>
    </message>
</context>
<context>
    <name>QUserDlgBaudChk</name>
    <message>
        <source>波特率侦测</source>
        <translation>Baud Detect</translation>
    </message>
    <message>
        <source>波特率(Hz)</source>
        <translation>Bit rate (Hz)</translation>
    </message>
    <message>
        <source>检测结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>设备打开失败..</source>
        <translation>Failed to open the device.</translation>
    </message>
    <message>
        <source>开始频率不能为空..</source>
        <translation>The start rate must not be empty.</translation>
    </message>
    <message>
        <source>结束频率不能为空..</source>
        <translation>The end rate must not be empty.</translation>
    </message>
    <message>
        <source>开始频率必须属于5000-1000000Hz!</source>
        <translation>The start rate must be within 5000-1000000 Hz!</translation>
    </message>
    <message>
        <source>结束频率必须属于5000-1000000Hz!</source>
        <translation>The end rate must be within 5000-1000000 Hz!</translation>
    </message>
    <message>
        <source>请先打开设备..</source>
        <translation>Open the device first.</translation>
    </message>
    <message>
        <source>准备中</source>
        <translation>Preparing</translation>
    </message>
    <message>
        <source>首次使用,准备中...</source>
        <translation>First use, preparing...</translation>
    </message>
    <message>
        <source>开始侦测...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>侦测成功...</source>
        <translation>Detected</translation>
    </message>
    <message>
        <source>侦测失败...</source>
        <translation>Not detected</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>扫描结束..</source>
        <translation>Scan finished.</translation>
    </message>
</context>
<context>
    <name>QUserDlgDeviceSel</name>
    <message>
        <source>USBCAN1-A</source>
        <translation>USBCAN1-A</translation>
    </message>
    <message>
        <source>USBCAN1-B</source>
        <translation>USBCAN1-B</translation>
    </message>
    <message>
        <source>USBCAN2-A</source>
        <translation>USBCAN2-A</translation>
    </message>
    <message>
        <source>USBCAN2-B</source>
        <translation>USBCAN2-B</translation>
    </message>
    <message>
        <source>选择设备</source>
        <translation>Device</translation>
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
        <source>设备类型:</source>
        <translation>Device type:</translation>
    </message>
    <message>
        <source>设备型号:</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>CAN/FD适配器</source>
        <translation>CAN/FD Adapter</translation>
    </message>
    <message>
        <source>CAN/FD记录仪</source>
        <translation>CAN/FD Recorder</translation>
    </message>
    <message>
        <source>LIN适配器</source>
        <translation>LIN Adapter</translation>
    </message>
</context>
<context>
    <name>QUserDlgFd2Set</name>
    <message>
        <source>仲裁域波特率:</source>
        <translation>Arbitration rate:</translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>当前过滤器规则数量:</source>
        <translation>Filter rules: </translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>自定义波特率参数不能为空!!!</source>
        <translation>The custom bit rate must not be empty!</translation>
    </message>
    <message>
        <source>滤波设置</source>
        <translation>Filter settings</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
</context>
<context>
    <name>QUserDlgFdBaudCalculator</name>
    <message>
        <source>FD波特率计算器</source>
        <translation>CAN FD Bit Rate Calculator</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>配置字</source>
        <translation>Timing word</translation>
    </message>
    <message>
        <source>采样点</source>
        <translation>Sample point</translation>
    </message>
    <message>
        <source>实际波特率</source>
        <translation>Actual rate</translation>
    </message>
    <message>
        <source>误差</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Click</source>
        <translation>Click</translation>
    </message>
    <message>
        <source>计算</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>按钮计算波特率!</source>
        <translation>to calculate the bit rate!</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>仲裁域波特率不能为空</source>
        <translation>The arbitration bit rate must not be empty</translation>
    </message>
    <message>
        <source>数据域波特率不能为空</source>
        <translation>The data bit rate must not be empty</translation>
    </message>
    <message>
        <source>仲裁域参数计算失败,请调整参数再尝试!!!</source>
        <translation>No arbitration timing found; adjust the parameters and try again!</translation>
    </message>
    <message>
        <source>数据域参数计算失败,请调整参数再尝试!!!</source>
        <translation>No data phase timing found; adjust the parameters and try again!</translation>
    </message>
    <message>
        <source>1.BRP应该尽量小.</source>
        <translation>1. Keep BRP as small as possible.</translation>
    </message>
    <message>
        <source>2.仲裁域波特率&lt;=数据域波特率.</source>
        <translation>2. Arbitration bit rate &lt;= data bit rate.</translation>
    </message>
    <message>
        <source>3.采样点推荐范围：75~87.5%.</source>
        <translation>3. Recommended sample point: 75 to 87.5%.</translation>
    </message>
    <message>
        <source>  波特率&gt;800kbps推荐采样点:75%.</source>
        <translation>  Bit rate &gt; 800 kbps: sample point 75% recommended.</translation>
    </message>
    <message>
        <source>  波特率&gt;500kbps推荐采样点:80%.</source>
        <translation>  Bit rate &gt; 500 kbps: sample point 80% recommended.</translation>
    </message>
    <message>
        <source>  波特率&lt;=500kbps推荐采样点:87.5%.</source>
        <translation>  Bit rate &lt;= 500 kbps: sample point 87.5% recommended.</translation>
    </message>
    <message>
        <source>4.仲裁域波特率和数据域波特率之比应该大于1/8.</source>
        <translation>4. Arbitration to data bit rate ratio should be above 1/8.</translation>
    </message>
    <message>
        <source>5.因尽量保证CAN总线上节点采样点一致.</source>
        <translation>5. Keep the sample points of all nodes on the bus alike.</translation>
    </message>
    <message>
        <source>6.TSEG2&gt;=同步跳转宽度(SJW).</source>
        <translation>6. TSEG2 &gt;= synchronisation jump width (SJW).</translation>
    </message>
    <message>
        <source>计算要点</source>
        <translation>Rules of thumb</translation>
    </message>
</context>
<context>
    <name>QUserDlgFdRecordSet</name>
    <message>
        <source>设备类型:</source>
        <translation>Device type:</translation>
    </message>
    <message>
        <source>打开设备</source>
        <translation>Open device</translation>
    </message>
    <message>
        <source>关闭设备</source>
        <translation>Close device</translation>
    </message>
    <message>
        <source>读取配置</source>
        <translation>Read config</translation>
    </message>
    <message>
        <source>写入配置</source>
        <translation>Write config</translation>
    </message>
    <message>
        <source>设备打开成功!</source>
        <translation>Device opened!</translation>
    </message>
    <message>
        <source>设备打开失败!</source>
        <translation>Failed to open the device!</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>设备已关闭!</source>
        <translation>Device closed!</translation>
    </message>
    <message>
        <source>当前过滤器规则数量:</source>
        <translation>Filter rules: </translation>
    </message>
    <message>
        <source>仲裁域波特率:</source>
        <translation>Arbitration rate:</translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>仲裁域-&gt; 时钟:</source>
        <translation>Arbitration clock:</translation>
    </message>
    <message>
        <source>时钟:</source>
        <translation>Clock:</translation>
    </message>
    <message>
        <source>滤波设置</source>
        <translation>Filter settings</translation>
    </message>
    <message>
        <source>文件创建间隔</source>
        <translation>File interval</translation>
    </message>
    <message>
        <source>有效范围:1-255</source>
        <translation>: valid range 1-255</translation>
    </message>
    <message>
        <source>写入失败!</source>
        <translation>Write failed!</translation>
    </message>
    <message>
        <source>写入成功!</source>
        <translation>Written!</translation>
    </message>
    <message>
        <source>读取成功!</source>
        <translation>Read done!</translation>
    </message>
    <message>
        <source>读取失败!</source>
        <translation>Read failed!</translation>
    </message>
    <message>
        <source>配置失败!</source>
        <translation>: configuration failed!</translation>
    </message>
    <message>
        <source>过滤器配置失败!</source>
        <translation>: filter configuration failed!</translation>
    </message>
    <message>
        <source>过滤器清空失败!</source>
        <translation>: filters could not be cleared!</translation>
    </message>
    <message>
        <source>过滤器新增失败!</source>
        <translation>: filter could not be added!</translation>
    </message>
    <message>
        <source>设备时间同步失败!</source>
        <translation>Device time sync failed!</translation>
    </message>
    <message>
        <source>设备时间同步成功!</source>
        <translation>Device time synced!</translation>
    </message>
    <message>
        <source>FLiter读取失败!</source>
        <translation>: filters could not be read!</translation>
    </message>
    <message>
        <source>设备参数无效,请重新写入配置!</source>
        <translation>Invalid device settings; write the configuration again!</translation>
    </message>
    <message>
        <source>硬件版本:</source>
        <translation>Hardware:</translation>
    </message>
    <message>
        <source>固件版本:</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>DLL:</source>
        <translation>DLL:</translation>
    </message>
    <message>
        <source>容量查询失败!</source>
        <translation>Capacity query failed!</translation>
    </message>
    <message>
        <source>总空间: </source>
        <translation>Total: </translation>
    </message>
    <message>
        <source> 剩余空间: </source>
        <translation> Free: </translation>
    </message>
    <message>
        <source>未发现存储设备!</source>
        <translation>No storage card found!</translation>
    </message>
    <message>
        <source>操作中,请等待...</source>
        <translation>Working, please wait...</translation>
    </message>
    <message>
        <source>测试中,请等待...</source>
        <translation>Testing, please wait...</translation>
    </message>
    <message>
        <source>操作成功!</source>
        <translation>Done!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>读速度:</source>
        <translation>Read speed:</translation>
    </message>
    <message>
        <source>MB/秒</source>
        <translation>MB/s</translation>
    </message>
    <message>
        <source>写速度:</source>
        <translation>Write speed:</translation>
    </message>
    <message>
        <source>操作超时!</source>
        <translation>Timed out!</translation>
    </message>
    <message>
        <source>操作失败!</source>
        <translation>Failed!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>格式化将清空所有记录文件,</source>
        <translation>Formatting erases all record files,</translation>
    </message>
    <message>
        <source>确定继续?</source>
        <translation>continue?</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>设备时间:</source>
        <translation>Device time: </translation>
    </message>
    <message>
        <source>自定义波特率参数超出范围!</source>
        <translation>Custom bit-timing parameters out of range!</translation>
    </message>
    <message>
        <source>预分频</source>
        <translation>Prescaler</translation>
    </message>
    <message>
        <source>仲裁域</source>
        <translation>Arbitration phase </translation>
    </message>
    <message>
        <source>数据域</source>
        <translation>Data phase </translation>
    </message>
    <message>
        <source>有效范围:</source>
        <translation> valid range: </translation>
    </message>
</context>
<context>
    <name>QUserDlgFirmUpdate</name>
    <message>
        <source>设备升级</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>设备信息:</source>
        <translation>Device: </translation>
    </message>
    <message>
        <source> 硬件版本:</source>
        <translation> Hardware: </translation>
    </message>
    <message>
        <source> 固件版本:</source>
        <translation> Firmware: </translation>
    </message>
    <message>
        <source>①断开连接</source>
        <translation>① Disconnect</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>①连接设备</source>
        <translation>① Connect</translation>
    </message>
    <message>
        <source>③停止</source>
        <translation>③ Stop</translation>
    </message>
    <message>
        <source>③开始</source>
        <translation>③ Start</translation>
    </message>
    <message>
        <source>文件信息:</source>
        <translation>File: </translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>设备打开失败</source>
        <translation>Failed to open the device</translation>
    </message>
    <message>
        <source>升级请求失败</source>
        <translation>Update request failed</translation>
    </message>
    <message>
        <source>选择升级包</source>
        <translation>Select firmware file</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>升级失败，硬件版本不匹配!!!</source>
        <translation>Update failed: the hardware version does not match!</translation>
    </message>
    <message>
        <source>升级完成</source>
        <translation>Update done</translation>
    </message>
    <message>
        <source>恭喜您升级成功!<byte value="xd"/>
请重启设备!!!</source>
        <translation>Firmware updated!<byte value="xd"/>
Please restart the device!</translation>
    </message>
</context>
<context>
    <name>QUserDlgFliterSet</name>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>过滤格式</source>
        <translation>Filter type</translation>
    </message>
    <message>
        <source>起始帧ID</source>
        <translation>Start ID</translation>
    </message>
    <message>
        <source>结束帧ID</source>
        <translation>End ID</translation>
    </message>
    <message>
        <source>无需设置</source>
        <translation>Not needed</translation>
    </message>
    <message>
        <source>滤波设置</source>
        <translation>Filter settings</translation>
    </message>
    <message>
        <source>取值范围:0-1FFFFFFF</source>
        <translation>Range: 0-1FFFFFFF</translation>
    </message>
    <message>
        <source>取值范围:0-7FF</source>
        <translation>Range: 0-7FF</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>结束ID不能为空!!!</source>
        <translation>The end ID must not be empty!</translation>
    </message>
    <message>
        <source>起始ID不能为空!!!</source>
        <translation>The start ID must not be empty!</translation>
    </message>
    <message>
        <source>结束ID数值错误!!!</source>
        <translation>Invalid end ID!</translation>
    </message>
    <message>
        <source>起始ID数值错误!!!</source>
        <translation>Invalid start ID!</translation>
    </message>
    <message>
        <source>起始ID不能大于结束ID!!!</source>
        <translation>The start ID must not be above the end ID!</translation>
    </message>
    <message>
        <source>先选中待删除的行!!!</source>
        <translation>Select the row to delete first!</translation>
    </message>
</context>
<context>
    <name>QUserDlgParts</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>没有可打开的通道!!!</source>
        <translation>No channel to open!</translation>
    </message>
</context>
<context>
    <name>QUserDlgPlayBack</name>
    <message>
        <source>数据回放</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>加载文件</source>
        <translation>Load file</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>间隔时间参数不能为空!</source>
        <translation>The interval must not be empty!</translation>
    </message>
    <message>
        <source>间隔时间不能等于0!</source>
        <translation>The interval must not be 0!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>无可发送数据!</source>
        <translation>Nothing to send!</translation>
    </message>
    <message>
        <source>帧总数量:</source>
        <translation>Frames: </translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>成功加载%1条数据。</source>
        <translation>Loaded %1 records.</translation>
    </message>
    <message>
        <source>发送完成!</source>
        <translation>Sending done!</translation>
    </message>
    <message>
        <source>发送已停止!</source>
        <translation>Sending stopped!</translation>
    </message>
    <message>
        <source>发送失败!</source>
        <translation>Send failed!</translation>
    </message>
    <message>
        <source>跳过%1条无法读取的数据。</source>
        <translation> Skipped %1 unreadable records.</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>数据文件:</source>
        <translation>Data file:</translation>
    </message>
    <message>
        <source>加载</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>帧总数量:0</source>
        <translation>Frames: 0</translation>
    </message>
    <message>
        <source>发送间隔:</source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>(单位:毫秒)</source>
        <translation>(ms)</translation>
    </message>
    <message>
        <source>发送步长:</source>
        <translation>Send step:</translation>
    </message>
    <message>
        <source>(有效值:1-32)</source>
        <translation>(1-32)</translation>
    </message>
    <message>
        <source>发送进度:</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>发送失败自动停止</source>
        <translation>Stop on send error</translation>
    </message>
    <message>
        <source>循环发送</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>启动发送</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止发送</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>文件提前结束(文件不完整),已加载%1条数据。</source>
        <translation>The file ended early (it is incomplete); %1 frames were loaded.</translation>
    </message>
    <message>
        <source>文件已损坏,跳过了%1处损坏的数据,已加载%2条数据。</source>
        <translation>The file is damaged: damaged data was skipped at %1 place(s); %2 frames were loaded.</translation>
    </message>
    <message>
        <source>文件已损坏且提前结束(文件不完整),跳过了%1处损坏的数据,已加载%2条数据。</source>
        <translation>The file is damaged and ended early (it is incomplete): damaged data was skipped at %1 place(s); %2 frames were loaded.</translation>
    </message>
    <message>
        <source>文件%1不是可读取的记录文件(ASC/BLF)!</source>
        <translation>%1 is not a readable trace file (ASC/BLF)!</translation>
    </message>
</context>
<context>
    <name>QUserDlgProgress</name>
    <message>
        <source>执行进度</source>
        <translation>Progress</translation>
    </message>
</context>
<context>
    <name>QUserDlgRepeatCfg</name>
    <message>
        <source>中继配置</source>
        <translation>Relay</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>未开启</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>CAN1&lt;-&gt;CAN2</source>
        <translation>CAN1&lt;-&gt;CAN2</translation>
    </message>
    <message>
        <source>CAN1-&gt;CAN2</source>
        <translation>CAN1-&gt;CAN2</translation>
    </message>
    <message>
        <source>CAN1&lt;-CAN2</source>
        <translation>CAN1&lt;-CAN2</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>设备打开错误!</source>
        <translation>Failed to open the device!</translation>
    </message>
    <message>
        <source>中继状态获取失败!</source>
        <translation>Failed to read the relay state!</translation>
    </message>
    <message>
        <source>波特率获取失败!</source>
        <translation> bit rate could not be read!</translation>
    </message>
    <message>
        <source>波特率参数错误!</source>
        <translation>Invalid bit rate!</translation>
    </message>
    <message>
        <source>中继状态设置失败!</source>
        <translation>Failed to set the relay state!</translation>
    </message>
    <message>
        <source>设备未打开,请先[打开设备]再设置中继!</source>
        <translation>The device is not open: press [Open device] first, then set the relay!</translation>
    </message>
    <message>
        <source>波特率设置失败!</source>
        <translation>Failed to set the bit rate!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>设置成功!</source>
        <translation>Settings applied!</translation>
    </message>
</context>
<context>
    <name>QUserDlgSetting</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>属性</source>
        <translation>Property</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>注释</source>
        <translation>Comment</translation>
    </message>
</context>
<context>
    <name>QUserDlgTools</name>
    <message>
        <source>DBC解析</source>
        <translation>DBC Analysis</translation>
    </message>
    <message>
        <source>DBC发送</source>
        <translation>DBC Send</translation>
    </message>
    <message>
        <source>CANopen</source>
        <translation>CANopen</translation>
    </message>
    <message>
        <source>文件查看器</source>
        <translation>File Viewer</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>工具集</source>
        <translation>Tools</translation>
    </message>
</context>
<context>
    <name>QUserEdsParser</name>
    <message>
        <source>%1的COB-ID(0x%2)不可用,PDO保持无效</source>
        <translation>%1: COB-ID (0x%2) not usable; the PDO stays invalid</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>QUserMainWindowCANWatch</name>
    <message>
        <source>快捷帮助</source>
        <translation>Quick Help</translation>
    </message>
    <message>
        <source>查看设置</source>
        <translation>View Settings</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>传输方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>帧ID</source>
        <translation>Frame ID</translation>
    </message>
    <message>
        <source>帧格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>帧类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>CAN报文</source>
        <translation>CAN Frames</translation>
    </message>
    <message>
        <source>显示高级工具</source>
        <translation>Show advanced tools</translation>
    </message>
    <message>
        <source>清空数据</source>
        <translation>Clear data</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>基本操作</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>报文过滤</source>
        <translation>Frame filter</translation>
    </message>
    <message>
        <source>显示发送帧</source>
        <translation>Show sent frames</translation>
    </message>
    <message>
        <source>显示远程帧</source>
        <translation>Show remote frames</translation>
    </message>
    <message>
        <source>ID过滤使能</source>
        <translation>Filter by ID</translation>
    </message>
    <message>
        <source>开始ID:0x</source>
        <translation>Start ID: 0x</translation>
    </message>
    <message>
        <source>结束ID:0x</source>
        <translation>End ID: 0x</translation>
    </message>
    <message>
        <source>执行</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>报文定位</source>
        <translation>Go to frame</translation>
    </message>
    <message>
        <source>跳转</source>
        <translation>Go</translation>
    </message>
    <message>
        <source>跳转到第</source>
        <translation>Go to row</translation>
    </message>
    <message>
        <source>行</source>
        <translation> </translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>处理中...</source>
        <translation>Processing...</translation>
    </message>
    <message>
        <source>正在取消...</source>
        <translation>Cancelling...</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>文件创建失败!</source>
        <translation>File could not be created!</translation>
    </message>
    <message>
        <source>缓存文件读写失败!</source>
        <translation>Cache file read/write failed!</translation>
    </message>
    <message>
        <source>文件写入失败!</source>
        <translation>File write failed!</translation>
    </message>
    <message>
        <source>操作完成!</source>
        <translation>Done!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>跳过%1条无法读取的数据。</source>
        <translation>Skipped %1 unreadable frames.</translation>
    </message>
    <message>
        <source>已加载%1帧</source>
        <translation>%1 frames loaded</translation>
    </message>
    <message>
        <source>已加载%1帧,显示%2帧</source>
        <translation>%1 frames loaded, %2 shown</translation>
    </message>
    <message>
        <source>加载文件</source>
        <translation>Load File</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>十进制</source>
        <translation>Decimal</translation>
    </message>
    <message>
        <source>ID格式:</source>
        <translation>ID format:</translation>
    </message>
    <message>
        <source>控制表格内部的ID显示格式</source>
        <translation>How IDs are shown in the table</translation>
    </message>
    <message>
        <source>数据格式:</source>
        <translation>Data format:</translation>
    </message>
    <message>
        <source>控制表格内部的数据显示格式</source>
        <translation>How data is shown in the table</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>快捷操作</source>
        <translation>Quick actions</translation>
    </message>
    <message>
        <source>支持文件:</source>
        <translation>Supported files:</translation>
    </message>
    <message>
        <source>文件提前结束(文件不完整),已读取%1帧。</source>
        <translation>The file ended early (it is incomplete); %1 frames were read.</translation>
    </message>
    <message>
        <source>文件已损坏,跳过了%1处损坏的数据,已读取%2帧。</source>
        <translation>The file is damaged: damaged data was skipped at %1 place(s); %2 frames were read.</translation>
    </message>
    <message>
        <source>文件已损坏且提前结束(文件不完整),跳过了%1处损坏的数据,已读取%2帧。</source>
        <translation>The file is damaged and ended early (it is incomplete): damaged data was skipped at %1 place(s); %2 frames were read.</translation>
    </message>
    <message>
        <source>文件%1不是可读取的记录文件(ASC/BLF)!</source>
        <translation>%1 is not a readable trace file (ASC/BLF)!</translation>
    </message>
</context>
<context>
    <name>QUserMainWindowCANopen</name>
    <message>
        <source>快捷操作</source>
        <translation>Quick Send</translation>
    </message>
    <message>
        <source>当前设备:</source>
        <translation>Device: </translation>
    </message>
    <message>
        <source>CANopen设置</source>
        <translation>CANopen settings</translation>
    </message>
    <message>
        <source>快捷操作数量:</source>
        <translation>Quick sends:</translation>
    </message>
    <message>
        <source>快捷指令数量</source>
        <translation>Number of quick send rows</translation>
    </message>
    <message>
        <source>节点显示格式:</source>
        <translation>Node ID format:</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>十进制</source>
        <translation>Decimal</translation>
    </message>
    <message>
        <source>控制报文解析里的节点ID的显示格式</source>
        <translation>How node IDs show in the decoded messages</translation>
    </message>
    <message>
        <source>节点过滤:</source>
        <translation>Node filter:</translation>
    </message>
    <message>
        <source>使能 </source>
        <translation>Enable </translation>
    </message>
    <message>
        <source>只接收指定的节点报文</source>
        <translation>Receive only the messages of the given nodes</translation>
    </message>
    <message>
        <source>开始节点:</source>
        <translation>First node:</translation>
    </message>
    <message>
        <source>节点过滤功能的开始节点(1-127)</source>
        <translation>First node of the node filter (1-127)</translation>
    </message>
    <message>
        <source>结束节点:</source>
        <translation>Last node:</translation>
    </message>
    <message>
        <source>节点过滤功能的结束节点(1-127)</source>
        <translation>Last node of the node filter (1-127)</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>快捷操作数量范围:1-%1</source>
        <translation>Quick sends: range 1-%1</translation>
    </message>
    <message>
        <source>1.节点地址范围:1-127<byte value="xd"/>
2.开始节点必须小于等于结束节点</source>
        <translation>1. Node address range: 1-127<byte value="xd"/>
2. The first node must not be above the last node</translation>
    </message>
    <message>
        <source>选择EDS文件</source>
        <translation>Select EDS file</translation>
    </message>
    <message>
        <source>加载失败...</source>
        <translation>Load failed...</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>EDS文件</source>
        <translation>EDS file</translation>
    </message>
    <message>
        <source>空!</source>
        <translation> is empty!</translation>
    </message>
    <message>
        <source>加载成功</source>
        <translation>Loaded</translation>
    </message>
    <message>
        <source>加载完成</source>
        <translation>Loaded</translation>
    </message>
    <message>
        <source>%1个段无法读取,第一个:[%2](第%3行)</source>
        <translation>%1 section(s) could not be read, the first: [%2] (line %3)</translation>
    </message>
    <message>
        <source>文件信息</source>
        <translation>File info</translation>
    </message>
    <message>
        <source>打开工程</source>
        <translation>Open Project</translation>
    </message>
    <message>
        <source>加载失败</source>
        <translation>Load failed</translation>
    </message>
    <message>
        <source>检测到EDS文件...</source>
        <translation>EDS file found...</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Save failed</translation>
    </message>
    <message>
        <source>保存成功!</source>
        <translation>Saved!</translation>
    </message>
    <message>
        <source>是否关闭当前工程?</source>
        <translation>Close the current project?</translation>
    </message>
    <message>
        <source>操作中,请等待...</source>
        <translation>Working, please wait...</translation>
    </message>
    <message>
        <source>格式:帧类型+帧ID+帧数据</source>
        <translation>Format: frame type + frame ID + frame data</translation>
    </message>
    <message>
        <source>用例模板:</source>
        <translation>Example: </translation>
    </message>
    <message>
        <source>用例解析:</source>
        <translation>Meaning: </translation>
    </message>
    <message>
        <source>标准帧,数据帧,ID=0x123,数据:00 01 02 03 04 05 06 07</source>
        <translation>standard, data frame, ID=0x123, data: 00 01 02 03 04 05 06 07</translation>
    </message>
    <message>
        <source>帧格式:</source>
        <translation>Frame format: </translation>
    </message>
    <message>
        <source>S=标准帧 E=扩展帧</source>
        <translation>S=standard E=extended</translation>
    </message>
    <message>
        <source>帧类型:</source>
        <translation>Frame type: </translation>
    </message>
    <message>
        <source>D=数据帧 R=远程帧</source>
        <translation>D=data R=remote</translation>
    </message>
    <message>
        <source>数字格式:</source>
        <translation>Numbers: </translation>
    </message>
    <message>
        <source>ID和数据都使用16进制格式,数据每1字节用1个空格隔开</source>
        <translation>ID and data in hex, one space between data bytes</translation>
    </message>
    <message>
        <source>用途:通过EDS文件直接对设备进行字典对象操作</source>
        <translation>Use: read and write the device&apos;s dictionary objects through its EDS file</translation>
    </message>
    <message>
        <source>用法:导入EDS文件后,用鼠标拖拽左侧栏的字典对象到监听列表即可操作</source>
        <translation>How: load the EDS file, then drag objects from the left-hand tree into the watch list</translation>
    </message>
    <message>
        <source>字典对象值修改:鼠标双击监听表格里的单元格-&gt;改值-&gt;写入</source>
        <translation>Change a value: double-click its cell in the watch list -&gt; edit -&gt; Write</translation>
    </message>
    <message>
        <source>重要事项:操作前先在CiA301页面设置好目标Node-ID</source>
        <translation>Important: set the target Node-ID on the CiA301 page first</translation>
    </message>
    <message>
        <source>快捷帮助</source>
        <translation>Quick Help</translation>
    </message>
    <message>
        <source>快捷操作页面</source>
        <translation>Quick Send page</translation>
    </message>
    <message>
        <source>EDS页面</source>
        <translation>EDS page</translation>
    </message>
    <message>
        <source>(有效值:10进制数1-127)</source>
        <translation>(decimal 1-127)</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>预操作</source>
        <translation>Pre-operational</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset node</translation>
    </message>
    <message>
        <source>复位通讯</source>
        <translation>Reset comm.</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>NMT命令</source>
        <translation>NMT command</translation>
    </message>
    <message>
        <source>远程操作</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Query</translation>
    </message>
    <message>
        <source>启动状态</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>停止状态</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>操作状态</source>
        <translation>Operational</translation>
    </message>
    <message>
        <source>预操作状态</source>
        <translation>Pre-operational</translation>
    </message>
    <message>
        <source>NMT节点守护</source>
        <translation>NMT node guarding</translation>
    </message>
    <message>
        <source>状态查询:</source>
        <translation>Request:</translation>
    </message>
    <message>
        <source>状态应答:</source>
        <translation>Reply:</translation>
    </message>
    <message>
        <source>发送同步报文</source>
        <translation>Send SYNC</translation>
    </message>
    <message>
        <source>SYNC命令</source>
        <translation>SYNC command</translation>
    </message>
    <message>
        <source>次数:</source>
        <translation>Count:</translation>
    </message>
    <message>
        <source>EMERG命令</source>
        <translation>EMCY command</translation>
    </message>
    <message>
        <source>紧急错误代码(2BYTE):</source>
        <translation>Error code (2 bytes):</translation>
    </message>
    <message>
        <source>错误寄存器(1BYTE):</source>
        <translation>Error register (1 byte):</translation>
    </message>
    <message>
        <source>自定义错误代码(5BYTE):</source>
        <translation>Vendor error (5 bytes):</translation>
    </message>
    <message>
        <source>PDO命令</source>
        <translation>PDO command</translation>
    </message>
    <message>
        <source>类型:</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>数据:</source>
        <translation>Data:</translation>
    </message>
    <message>
        <source>远程PDO请求</source>
        <translation>Remote PDO request</translation>
    </message>
    <message>
        <source>1字节</source>
        <translation>1 byte</translation>
    </message>
    <message>
        <source>2字节</source>
        <translation>2 bytes</translation>
    </message>
    <message>
        <source>3字节</source>
        <translation>3 bytes</translation>
    </message>
    <message>
        <source>4字节</source>
        <translation>4 bytes</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>快速SDO写操作</source>
        <translation>Expedited SDO write</translation>
    </message>
    <message>
        <source>索引(2BYTE):0x</source>
        <translation>Index (2 bytes): 0x</translation>
    </message>
    <message>
        <source>子索引(1BYTE):0x</source>
        <translation>Sub-index (1 byte): 0x</translation>
    </message>
    <message>
        <source>长度:</source>
        <translation>Length:</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>快速SDO读操作</source>
        <translation>Expedited SDO read</translation>
    </message>
    <message>
        <source>使用系统时间</source>
        <translation>Use system time</translation>
    </message>
    <message>
        <source>时间设置</source>
        <translation>TIME command</translation>
    </message>
    <message>
        <source>Node-Id不能为空!</source>
        <translation>The Node-ID must not be empty!</translation>
    </message>
    <message>
        <source>发送次数不能为空!</source>
        <translation>The count must not be empty!</translation>
    </message>
    <message>
        <source>发送次数范围:1-%1</source>
        <translation>Count range: 1-%1</translation>
    </message>
    <message>
        <source>发送参数不能为空!</source>
        <translation>The data must not be empty!</translation>
    </message>
    <message>
        <source>数据只能是十六进制数字!</source>
        <translation>The data may only hold hexadecimal digits!</translation>
    </message>
    <message>
        <source>索引不能为空!</source>
        <translation>The index must not be empty!</translation>
    </message>
    <message>
        <source>子索引不能为空!</source>
        <translation>The sub-index must not be empty!</translation>
    </message>
    <message>
        <source>设备状态</source>
        <translation>Device state</translation>
    </message>
    <message>
        <source>节点状态:</source>
        <translation>Node state:</translation>
    </message>
    <message>
        <source>非</source>
        <translation>Not </translation>
    </message>
    <message>
        <source>状态未知</source>
        <translation>State unknown</translation>
    </message>
    <message>
        <source>未收到该节点的心跳、节点守护应答或启动报文,NMT状态未知(可为节点配置心跳)</source>
        <translation>No heartbeat, node-guarding answer or boot-up message of this node was heard: its NMT state is unknown (configure a heartbeat on the node)</translation>
    </message>
    <message>
        <source>设备操作</source>
        <translation>Device control</translation>
    </message>
    <message>
        <source>重置</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>伺服控制</source>
        <translation>Drive control</translation>
    </message>
    <message>
        <source>目标速度</source>
        <translation>Target speed</translation>
    </message>
    <message>
        <source>转/分钟</source>
        <translation>rpm</translation>
    </message>
    <message>
        <source>加速速度</source>
        <translation>Acceleration</translation>
    </message>
    <message>
        <source>减速速度</source>
        <translation>Deceleration</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>速度模式</source>
        <translation>Velocity</translation>
    </message>
    <message>
        <source>扭矩单位:1/1000×额定扭矩</source>
        <translation>Torque unit: 1/1000 × rated torque</translation>
    </message>
    <message>
        <source>目标扭矩</source>
        <translation>Target torque</translation>
    </message>
    <message>
        <source>范围:</source>
        <translation>Range: </translation>
    </message>
    <message>
        <source>扭矩斜率</source>
        <translation>Torque slope</translation>
    </message>
    <message>
        <source>1秒时间内变化的扭矩</source>
        <translation>Torque change per second</translation>
    </message>
    <message>
        <source>扭矩模式</source>
        <translation>Torque</translation>
    </message>
    <message>
        <source>轮廓速度</source>
        <translation>Profile speed</translation>
    </message>
    <message>
        <source>绝对目标</source>
        <translation>Absolute target</translation>
    </message>
    <message>
        <source>单位:PUU</source>
        <translation>Unit: PUU</translation>
    </message>
    <message>
        <source>相对目标</source>
        <translation>Relative target</translation>
    </message>
    <message>
        <source>位置模式</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>不能为空!</source>
        <translation> must not be empty!</translation>
    </message>
    <message>
        <source>加速度</source>
        <translation>Acceleration</translation>
    </message>
    <message>
        <source>减速度</source>
        <translation>Deceleration</translation>
    </message>
    <message>
        <source>目标位置</source>
        <translation>Target position</translation>
    </message>
    <message>
        <source>对象字典</source>
        <translation>Object dictionary</translation>
    </message>
    <message>
        <source>过滤:</source>
        <translation>Filter:</translation>
    </message>
    <message>
        <source>索引(16进制)或名称</source>
        <translation>Index (hex) or name</translation>
    </message>
    <message>
        <source>添加到监听列表</source>
        <translation>Add to watch list</translation>
    </message>
    <message>
        <source>删除所有对象</source>
        <translation>Delete all objects</translation>
    </message>
    <message>
        <source>属性</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>EDS信息</source>
        <translation>EDS info</translation>
    </message>
    <message>
        <source>设备信息</source>
        <translation>Device info</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>监听列表</source>
        <translation>Watch list</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>主索引</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>子索引</source>
        <translation>Sub-index</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>颜色</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>更新时间</source>
        <translation>Updated</translation>
    </message>
    <message>
        <source>当前值(10进制)</source>
        <translation>Value (dec)</translation>
    </message>
    <message>
        <source>当前值(16进制)</source>
        <translation>Value (hex)</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>写操作</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>读操作</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>上移一行</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>下移一行</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>删除当前行</source>
        <translation>Delete row</translation>
    </message>
    <message>
        <source>清空表格</source>
        <translation>Clear table</translation>
    </message>
    <message>
        <source>列表空!请先导入EDS文件!</source>
        <translation>Empty list! Load an EDS file first!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>格式错误!!!</source>
        <translation>Wrong format!</translation>
    </message>
    <message>
        <source>对象已存在!</source>
        <translation>The object is already in the list!</translation>
    </message>
    <message>
        <source>颜色选择对话框</source>
        <translation>Select colour</translation>
    </message>
    <message>
        <source>是否删除该信号?</source>
        <translation>Delete this object?</translation>
    </message>
    <message>
        <source>是否删除所有对象?</source>
        <translation>Delete all objects?</translation>
    </message>
    <message>
        <source>SDO操作[%1,%2]失败...</source>
        <translation>SDO transfer [%1,%2] failed...</translation>
    </message>
    <message>
        <source>中止代码:</source>
        <translation>abort code: </translation>
    </message>
    <message>
        <source>超时</source>
        <translation>timeout</translation>
    </message>
    <message>
        <source>对象无法用快速SDO传输</source>
        <translation>object too large for an expedited SDO</translation>
    </message>
    <message>
        <source>SDO操作完成...</source>
        <translation>SDO transfer done...</translation>
    </message>
    <message>
        <source>CAN报文</source>
        <translation>CAN message</translation>
    </message>
    <message>
        <source>说明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>帮助?</source>
        <translation>Help?</translation>
    </message>
    <message>
        <source>Tx</source>
        <translation>Tx</translation>
    </message>
    <message>
        <source>Rx</source>
        <translation>Rx</translation>
    </message>
    <message>
        <source>未知报文</source>
        <translation>Unknown message</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>错误:文件&lt;%1&gt;创建失败</source>
        <translation>Error: file &lt;%1&gt; could not be created</translation>
    </message>
    <message>
        <source>保存失败!</source>
        <translation>Save failed!</translation>
    </message>
    <message>
        <source>序号:</source>
        <translation>No.:</translation>
    </message>
    <message>
        <source>报文:</source>
        <translation>Message:</translation>
    </message>
    <message>
        <source>解析:</source>
        <translation>Decoded:</translation>
    </message>
    <message>
        <source>报文</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>解析</source>
        <translation>Decoded</translation>
    </message>
    <message>
        <source>暂停刷新</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>显示心跳报文</source>
        <translation>Show heartbeats</translation>
    </message>
    <message>
        <source>清屏</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>清空日志</source>
        <translation>Clear log</translation>
    </message>
    <message>
        <source>日志输出</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>使能</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>非循环同步</source>
        <translation>Synchronous (acyclic)</translation>
    </message>
    <message>
        <source>循环同步</source>
        <translation>Synchronous (cyclic)</translation>
    </message>
    <message>
        <source>远程同步</source>
        <translation>RTR-only (synchronous)</translation>
    </message>
    <message>
        <source>远程异步</source>
        <translation>RTR-only (event)</translation>
    </message>
    <message>
        <source>异步&lt;制造商特定事件&gt;</source>
        <translation>Event (manufacturer)</translation>
    </message>
    <message>
        <source>异步&lt;设备子协议特定事件&gt;</source>
        <translation>Event (device profile)</translation>
    </message>
    <message>
        <source>未知类型</source>
        <translation>Unknown type</translation>
    </message>
    <message>
        <source>参数类型:</source>
        <translation>Parameter:</translation>
    </message>
    <message>
        <source>COB-ID:0x</source>
        <translation>COB-ID: 0x</translation>
    </message>
    <message>
        <source>传输类型:</source>
        <translation>Transmission type:</translation>
    </message>
    <message>
        <source>约束时间(1/10ms):</source>
        <translation>Inhibit time (100 µs):</translation>
    </message>
    <message>
        <source>事件定时时间(ms):</source>
        <translation>Event timer (ms):</translation>
    </message>
    <message>
        <source>同步起始值:</source>
        <translation>SYNC start value:</translation>
    </message>
    <message>
        <source>从</source>
        <translation>From</translation>
    </message>
    <message>
        <source>设备中</source>
        <translation> device: </translation>
    </message>
    <message>
        <source>配置</source>
        <translation> config</translation>
    </message>
    <message>
        <source>往</source>
        <translation>To</translation>
    </message>
    <message>
        <source>写</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>映射</source>
        <translation>Mapping</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>该对象不支持映射!</source>
        <translation>This object cannot be mapped!</translation>
    </message>
    <message>
        <source>只读属性的对象只能映射到TPDO中</source>
        <translation>Read-only objects can be mapped into a TPDO only</translation>
    </message>
    <message>
        <source>此PDO最大只支持8个字节的数据</source>
        <translation>This PDO holds at most 8 bytes of data</translation>
    </message>
    <message>
        <source>PDO配置从设备上传...</source>
        <translation>Reading the PDO configuration from the device...</translation>
    </message>
    <message>
        <source>错误:请先导入EDS文件!!!</source>
        <translation>Error: load an EDS file first!</translation>
    </message>
    <message>
        <source>PDO配置下载到设备...</source>
        <translation>Writing the PDO configuration to the device...</translation>
    </message>
    <message>
        <source>加载EDS文件:</source>
        <translation>Load EDS file: </translation>
    </message>
    <message>
        <source>加载工程文件:</source>
        <translation>Load project file: </translation>
    </message>
    <message>
        <source>保存工程文件:</source>
        <translation>Save project file: </translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>加载EDS</source>
        <translation>Load EDS</translation>
    </message>
    <message>
        <source>解析设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>保存工程</source>
        <translation>Save Project</translation>
    </message>
    <message>
        <source>关闭工程</source>
        <translation>Close Project</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
</context>
<context>
    <name>QUserMainWindowDBC</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>DBC库初始化设备失败!!!</source>
        <translation>The DBC library could not set up the device!</translation>
    </message>
    <message>
        <source>DBC解析</source>
        <translation>DBC Analysis</translation>
    </message>
    <message>
        <source>DBC文件消息总表:</source>
        <translation>DBC messages:</translation>
    </message>
    <message>
        <source>过滤条件:</source>
        <translation>Filter:</translation>
    </message>
    <message>
        <source>输入消息名称或ID(10进制)</source>
        <translation>Message name or ID (decimal)</translation>
    </message>
    <message>
        <source>添加到监听列表</source>
        <translation>Add to watch list</translation>
    </message>
    <message>
        <source>添加所有信号到监听列表</source>
        <translation>Add all signals to the watch list</translation>
    </message>
    <message>
        <source>删除所有信号</source>
        <translation>Delete all signals</translation>
    </message>
    <message>
        <source>属性</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>当前监听信号列表:</source>
        <translation>Watched signals:</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>信号名称</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>信号颜色</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>图表显示</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>原始值(Hex)</source>
        <translation>Raw (hex)</translation>
    </message>
    <message>
        <source>物理值</source>
        <translation>Physical</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>时间标志</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>报文</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>信号上移一行</source>
        <translation>Move signal up</translation>
    </message>
    <message>
        <source>信号下移一行</source>
        <translation>Move signal down</translation>
    </message>
    <message>
        <source>删除当前信号</source>
        <translation>Delete signal</translation>
    </message>
    <message>
        <source>当前监听信号图</source>
        <translation>Watched signals chart</translation>
    </message>
    <message>
        <source>时间:ms</source>
        <translation>Time: ms</translation>
    </message>
    <message>
        <source>信号值</source>
        <translation>Signal value</translation>
    </message>
    <message>
        <source>数据更新已关闭!</source>
        <translation>Display updates paused!</translation>
    </message>
    <message>
        <source>数据更新已开启!</source>
        <translation>Display updates resumed!</translation>
    </message>
    <message>
        <source>DBC解析帮助</source>
        <translation>DBC decoding help</translation>
    </message>
    <message>
        <source> 属性</source>
        <translation> properties</translation>
    </message>
    <message>
        <source>颜色选择对话框</source>
        <translation>Select colour</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>信号信息获取失败!!!</source>
        <translation>Failed to read the signal!</translation>
    </message>
    <message>
        <source>消息信息获取失败!!!</source>
        <translation>Failed to read the message!</translation>
    </message>
    <message>
        <source> 数据信息</source>
        <translation> data</translation>
    </message>
    <message>
        <source>数据点可视:</source>
        <translation>Show points:</translation>
    </message>
    <message>
        <source>使能</source>
        <translation>On</translation>
    </message>
    <message>
        <source>曲线(折线无效)上样本处用点标记</source>
        <translation>Mark the samples on the curve with dots (not for lines)</translation>
    </message>
    <message>
        <source>数据点坐标可视:</source>
        <translation>Show point values:</translation>
    </message>
    <message>
        <source>曲线(折线无效)上显示样本坐标(折线无效)</source>
        <translation>Show the sample values on the curve (not for lines)</translation>
    </message>
    <message>
        <source>图表类型:</source>
        <translation>Chart type:</translation>
    </message>
    <message>
        <source>曲线</source>
        <translation>Curve</translation>
    </message>
    <message>
        <source>折线</source>
        <translation>Lines</translation>
    </message>
    <message>
        <source>曲线(CPU使用率高) 折线(CPU使用率低)</source>
        <translation>Curve (high CPU load), lines (low CPU load)</translation>
    </message>
    <message>
        <source>X轴最大时刻:</source>
        <translation>X axis span:</translation>
    </message>
    <message>
        <source>X轴的最长记录时间 单位:毫秒</source>
        <translation>Longest time shown on the X axis, in ms</translation>
    </message>
    <message>
        <source>图表参数设置</source>
        <translation>Chart settings</translation>
    </message>
    <message>
        <source>DBC协议类型:</source>
        <translation>DBC protocol:</translation>
    </message>
    <message>
        <source>CAN普通</source>
        <translation>Plain CAN</translation>
    </message>
    <message>
        <source>J1939</source>
        <translation>J1939</translation>
    </message>
    <message>
        <source>根据实际协议选择</source>
        <translation>Pick the protocol the bus uses</translation>
    </message>
    <message>
        <source>解析发送帧:</source>
        <translation>Decode sent frames:</translation>
    </message>
    <message>
        <source>开启 </source>
        <translation>On </translation>
    </message>
    <message>
        <source>发送方向的数据是否参与解析</source>
        <translation>Whether frames sent by this tool are decoded too</translation>
    </message>
    <message>
        <source>解析参数设置</source>
        <translation>Decoding settings</translation>
    </message>
    <message>
        <source>信号不存在!!!</source>
        <translation>No such signal!</translation>
    </message>
    <message>
        <source>信号已存在!!!</source>
        <translation>The signal is already in the list!</translation>
    </message>
    <message>
        <source>是否添加所有信号?</source>
        <translation>Add all signals?</translation>
    </message>
    <message>
        <source>操作完成!</source>
        <translation>Done!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>是否删除该信号?</source>
        <translation>Delete this signal?</translation>
    </message>
    <message>
        <source>是否删除所有信号?</source>
        <translation>Delete all signals?</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存成功!</source>
        <translation>Saved!</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>打开工程</source>
        <translation>Open Project</translation>
    </message>
    <message>
        <source>打开失败,文件解析错误!</source>
        <translation>Open failed: the file could not be parsed!</translation>
    </message>
    <message>
        <source>打开成功!</source>
        <translation>Opened!</translation>
    </message>
    <message>
        <source>选择DBC文件</source>
        <translation>Select DBC file</translation>
    </message>
    <message>
        <source>DBC文件加载成功!</source>
        <translation>DBC file loaded!</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>DBC文件加载失败,路径空!!!</source>
        <translation>DBC file not loaded: no path!</translation>
    </message>
    <message>
        <source>DBC库加载失败!!!</source>
        <translation>The DBC library could not be loaded!</translation>
    </message>
    <message>
        <source>DBC文件解析失败!!!</source>
        <translation>The DBC file could not be parsed!</translation>
    </message>
    <message>
        <source>列表空!请先导入DBC文件!</source>
        <translation>Empty list! Load a DBC file first!</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>加载DBC</source>
        <translation>Load DBC</translation>
    </message>
    <message>
        <source>加载DBC文件</source>
        <translation>Load a DBC file</translation>
    </message>
    <message>
        <source>保存工程</source>
        <translation>Save Project</translation>
    </message>
    <message>
        <source>打开工程文件</source>
        <translation>Open a project file</translation>
    </message>
    <message>
        <source>数据清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>停止显示</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>自动缩放</source>
        <translation>Auto Scale</translation>
    </message>
    <message>
        <source>图表自适应</source>
        <translation>Fit the chart to the data</translation>
    </message>
    <message>
        <source>图表设置</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>解析设置</source>
        <translation>Decoding</translation>
    </message>
    <message>
        <source>DBC解析设置</source>
        <translation>DBC decoding settings</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
    <message>
        <source>操作步骤:</source>
        <translation>Steps:</translation>
    </message>
    <message>
        <source>&lt;加载DBC&gt;&lt;添加信号&gt;</source>
        <translation>&lt;Load DBC&gt;&lt;Add signals&gt;</translation>
    </message>
    <message>
        <source>解析范围:</source>
        <translation>Decoded:</translation>
    </message>
    <message>
        <source>只解析添加到信号列表中的信号</source>
        <translation>Only the signals in the signal list are decoded</translation>
    </message>
    <message>
        <source>加载DBC:</source>
        <translation>Load DBC:</translation>
    </message>
    <message>
        <source>&lt;文件&gt;菜单中的&lt;加载DBC&gt;</source>
        <translation>&lt;Load DBC&gt; in the &lt;File&gt; menu</translation>
    </message>
    <message>
        <source>选择消息:</source>
        <translation>Select messages:</translation>
    </message>
    <message>
        <source>从左侧&lt;DBC文件消息总表&gt;选择消息或信号添加到右侧信号列表</source>
        <translation>Add messages or signals from &lt;DBC messages&gt; on the left to the signal list on the right</translation>
    </message>
    <message>
        <source>选择方法:</source>
        <translation>How to add:</translation>
    </message>
    <message>
        <source>按住鼠标左键拖拽,或右键弹出菜单</source>
        <translation>Drag with the left mouse button, or use the right-click menu</translation>
    </message>
    <message>
        <source>图表显示:</source>
        <translation>Chart:</translation>
    </message>
    <message>
        <source>勾选&lt;图表显示&gt;后信号的物理值以曲线显示</source>
        <translation>Tick &lt;Chart&gt; to draw the physical value of a signal</translation>
    </message>
    <message>
        <source>波形X轴缩放:</source>
        <translation>X axis zoom:</translation>
    </message>
    <message>
        <source>利用鼠标滚轮进行缩放</source>
        <translation>Mouse wheel</translation>
    </message>
    <message>
        <source>波形X轴范围:</source>
        <translation>X axis span:</translation>
    </message>
    <message>
        <source>&lt;设置&gt;&lt;图表设置&gt;&lt;X轴最大时刻&gt;</source>
        <translation>&lt;Settings&gt;&lt;Chart&gt;&lt;X axis span&gt;</translation>
    </message>
    <message>
        <source>波形Y轴缩放:</source>
        <translation>Y axis zoom:</translation>
    </message>
    <message>
        <source>利用Ctrl键+鼠标滚轮进行缩放</source>
        <translation>Ctrl + mouse wheel</translation>
    </message>
    <message>
        <source>波形Y轴范围:</source>
        <translation>Y axis range:</translation>
    </message>
    <message>
        <source>根据所有图表显示信号的最小值和最大值计算</source>
        <translation>From the minimum and maximum of all charted signals</translation>
    </message>
    <message>
        <source>颜色修改:</source>
        <translation>Change colour:</translation>
    </message>
    <message>
        <source>双击信号列表中的&lt;信号颜色&gt;单元格</source>
        <translation>Double-click the &lt;Colour&gt; cell in the signal list</translation>
    </message>
    <message>
        <source>保存工程:</source>
        <translation>Save project:</translation>
    </message>
    <message>
        <source>保存当前的解析配置,便于下次快速加载</source>
        <translation>Saves the decoding setup to load it again quickly next time</translation>
    </message>
    <message>
        <source>打开工程:</source>
        <translation>Open project:</translation>
    </message>
    <message>
        <source>加载已保存的解析配置</source>
        <translation>Loads a saved decoding setup</translation>
    </message>
    <message>
        <source>属性查看:</source>
        <translation>Properties:</translation>
    </message>
    <message>
        <source>双击信号列表中的消息名称或信号名称</source>
        <translation>Double-click a message or signal name in the signal list</translation>
    </message>
</context>
<context>
    <name>QUserMainWindowDBCSend</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>DBC库初始化设备失败!!!</source>
        <translation>The DBC library could not set up the device!</translation>
    </message>
    <message>
        <source>DBC发送</source>
        <translation>DBC Send</translation>
    </message>
    <message>
        <source>发送通道:</source>
        <translation>Sends on: </translation>
    </message>
    <message>
        <source>发送错误,DBC消息获取失败</source>
        <translation>Send error: the DBC message could not be read</translation>
    </message>
    <message>
        <source>发送错误,DBC消息编码错误</source>
        <translation>Send error: the DBC message could not be encoded</translation>
    </message>
    <message>
        <source>数据ID无效,请检查&lt;参数设置&gt;里的协议类型<byte value="xd"/>
是否和DBC文件匹配!</source>
        <translation>Invalid ID: check that the protocol in &lt;Settings&gt;<byte value="xd"/>
matches the DBC file!</translation>
    </message>
    <message>
        <source>发送成功..</source>
        <translation>Sent.</translation>
    </message>
    <message>
        <source>发送失败..</source>
        <translation>Send failed.</translation>
    </message>
    <message>
        <source>DBC文件消息总表:</source>
        <translation>DBC messages:</translation>
    </message>
    <message>
        <source>过滤条件:</source>
        <translation>Filter:</translation>
    </message>
    <message>
        <source>输入消息名称或ID(10进制)</source>
        <translation>Message name or ID (decimal)</translation>
    </message>
    <message>
        <source>消息发送列表:</source>
        <translation>Send list:</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>消息名称</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>消息ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>注释</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>信号信息:</source>
        <translation>Signals:</translation>
    </message>
    <message>
        <source>信号名称</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>原始值(十六进制)</source>
        <translation>Raw (hex)</translation>
    </message>
    <message>
        <source>物理值(双击编辑)</source>
        <translation>Physical (double-click)</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>添加到发送列表</source>
        <translation>Add to send list</translation>
    </message>
    <message>
        <source>添加所有消息到发送列表</source>
        <translation>Add all messages to the send list</translation>
    </message>
    <message>
        <source>删除所有消息</source>
        <translation>Delete all messages</translation>
    </message>
    <message>
        <source>属性</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>上移一行</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>下移一行</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>删除当前行</source>
        <translation>Delete row</translation>
    </message>
    <message>
        <source>清空表格</source>
        <translation>Clear table</translation>
    </message>
    <message>
        <source>列表空!请先导入DBC文件!</source>
        <translation>Empty list! Load a DBC file first!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>消息已存在!!!</source>
        <translation>The message is already in the list!</translation>
    </message>
    <message>
        <source>消息不存在!!!</source>
        <translation>No such message!</translation>
    </message>
    <message>
        <source>是否添加所有信号?</source>
        <translation>Add all signals?</translation>
    </message>
    <message>
        <source>操作完成!</source>
        <translation>Done!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>是否删除所有信号?</source>
        <translation>Delete all signals?</translation>
    </message>
    <message>
        <source> 属性</source>
        <translation> properties</translation>
    </message>
    <message>
        <source>双击查看数据</source>
        <translation>Double-click to view the data</translation>
    </message>
    <message>
        <source>是否删除该消息?</source>
        <translation>Delete this message?</translation>
    </message>
    <message>
        <source>是否删除所有消息?</source>
        <translation>Delete all messages?</translation>
    </message>
    <message>
        <source>消息信息获取失败!!!</source>
        <translation>Failed to read the message!</translation>
    </message>
    <message>
        <source>消息参数错误,长度不能等于0!!!</source>
        <translation>Invalid message: the length must not be 0!</translation>
    </message>
    <message>
        <source> 数据信息</source>
        <translation> data</translation>
    </message>
    <message>
        <source>信号信息获取失败!!!</source>
        <translation>Failed to read the signal!</translation>
    </message>
    <message>
        <source>选择DBC文件</source>
        <translation>Select DBC file</translation>
    </message>
    <message>
        <source>DBC文件加载成功!</source>
        <translation>DBC file loaded!</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存失败!</source>
        <translation>Save failed!</translation>
    </message>
    <message>
        <source>保存成功!</source>
        <translation>Saved!</translation>
    </message>
    <message>
        <source>打开工程</source>
        <translation>Open Project</translation>
    </message>
    <message>
        <source>打开失败,文件解析错误!</source>
        <translation>Open failed: the file could not be parsed!</translation>
    </message>
    <message>
        <source>打开成功!</source>
        <translation>Opened!</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>取消中...</source>
        <translation>Cancelling...</translation>
    </message>
    <message>
        <source>DBC文件加载失败,路径空!!!</source>
        <translation>DBC file not loaded: no path!</translation>
    </message>
    <message>
        <source>DBC库加载失败!!!</source>
        <translation>The DBC library could not be loaded!</translation>
    </message>
    <message>
        <source>DBC文件解析失败!!!</source>
        <translation>The DBC file could not be parsed!</translation>
    </message>
    <message>
        <source>DBC发送参数设置</source>
        <translation>DBC send settings</translation>
    </message>
    <message>
        <source>DBC协议类型:</source>
        <translation>DBC protocol:</translation>
    </message>
    <message>
        <source>CAN普通</source>
        <translation>Plain CAN</translation>
    </message>
    <message>
        <source>J1939</source>
        <translation>J1939</translation>
    </message>
    <message>
        <source>根据实际协议选择</source>
        <translation>Pick the protocol the bus uses</translation>
    </message>
    <message>
        <source>J1939源地址:</source>
        <translation>J1939 source address:</translation>
    </message>
    <message>
        <source>十六进制格式,00-FF</source>
        <translation>Hex, 00-FF</translation>
    </message>
    <message>
        <source>J1939目的地址:</source>
        <translation>J1939 destination:</translation>
    </message>
    <message>
        <source>FD设备帧协议:</source>
        <translation>FD frame type:</translation>
    </message>
    <message>
        <source>CAN</source>
        <translation>CAN</translation>
    </message>
    <message>
        <source>CANFD</source>
        <translation>CANFD</translation>
    </message>
    <message>
        <source>CANFD加速</source>
        <translation>CANFD BRS</translation>
    </message>
    <message>
        <source>FD设备工作于于FD模式时有效</source>
        <translation>Applies when an FD device works in FD mode</translation>
    </message>
    <message>
        <source>J1939地址无效,有效范围:00-FF!</source>
        <translation>Invalid J1939 address; valid range: 00-FF!</translation>
    </message>
    <message>
        <source>DBC发送帮助</source>
        <translation>DBC send help</translation>
    </message>
    <message>
        <source>操作步骤:</source>
        <translation>Steps:</translation>
    </message>
    <message>
        <source>&lt;加载DBC&gt;&lt;选择消息&gt;&lt;发送&gt;</source>
        <translation>&lt;Load DBC&gt;&lt;Select messages&gt;&lt;Send&gt;</translation>
    </message>
    <message>
        <source>加载DBC:</source>
        <translation>Load DBC:</translation>
    </message>
    <message>
        <source>通过菜单[文件]-&gt;[加载DBC]加载DBC文件</source>
        <translation>Load a DBC file with [File]-&gt;[Load DBC]</translation>
    </message>
    <message>
        <source>选择消息:</source>
        <translation>Select messages:</translation>
    </message>
    <message>
        <source>从左侧&quot;DBC文件消息总表&quot;中选择消息添加到右侧消息发送列表</source>
        <translation>Add messages from &quot;DBC messages&quot; on the left to the send list on the right</translation>
    </message>
    <message>
        <source>选择方法:</source>
        <translation>How to add:</translation>
    </message>
    <message>
        <source>鼠标左键拖拽消息到发送列表,或通过右键弹出菜单添加</source>
        <translation>Drag a message into the send list, or use the right-click menu</translation>
    </message>
    <message>
        <source>信号修改:</source>
        <translation>Change signals:</translation>
    </message>
    <message>
        <source>双击信号列表中的原始值或物理值进行修改</source>
        <translation>Double-click a raw or physical value in the signal list to edit it</translation>
    </message>
    <message>
        <source>发送方法:</source>
        <translation>How to send:</translation>
    </message>
    <message>
        <source>点击消息发送列表中的[发送]按钮发送该行消息</source>
        <translation>Click [Send] in a row of the send list to send that message</translation>
    </message>
    <message>
        <source>信号值格式:</source>
        <translation>Value format:</translation>
    </message>
    <message>
        <source>原始值是十六进制数,物理值是十进制数</source>
        <translation>Raw values are hex, physical values decimal</translation>
    </message>
    <message>
        <source>保存工程:</source>
        <translation>Save project:</translation>
    </message>
    <message>
        <source>保存当前的发送配置,便于下次快速加载</source>
        <translation>Saves the send setup to load it again quickly next time</translation>
    </message>
    <message>
        <source>打开工程:</source>
        <translation>Open project:</translation>
    </message>
    <message>
        <source>打开保存的工程文件,加载发送配置</source>
        <translation>Opens a saved project file and loads its send setup</translation>
    </message>
    <message>
        <source>属性查看:</source>
        <translation>Properties:</translation>
    </message>
    <message>
        <source>双击消息名称或信号名称可查看其属性</source>
        <translation>Double-click a message or signal name to see its properties</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>加载DBC</source>
        <translation>Load DBC</translation>
    </message>
    <message>
        <source>加载DBC文件</source>
        <translation>Load a DBC file</translation>
    </message>
    <message>
        <source>打开工程文件</source>
        <translation>Open a project file</translation>
    </message>
    <message>
        <source>保存工程</source>
        <translation>Save Project</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>发送参数设置</source>
        <translation>Send settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
</context>
<context>
    <name>QUserMainWindowLin</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>数据清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>设备配置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>设备操作</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
</context>
<context>
    <name>QUserRecordChPage</name>
    <message>
        <source>波特率</source>
        <translation>Bit rate</translation>
    </message>
    <message>
        <source>工作协议:</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source>CANFD标准:</source>
        <translation>CAN FD standard:</translation>
    </message>
    <message>
        <source>工作模式:</source>
        <translation>Work mode:</translation>
    </message>
    <message>
        <source>正常模式</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>只听模式</source>
        <translation>Listen only</translation>
    </message>
    <message>
        <source>通道开启</source>
        <translation>Channel on</translation>
    </message>
    <message>
        <source>仲裁域波特率:</source>
        <translation>Arbitration rate:</translation>
    </message>
    <message>
        <source>数据域波特率:</source>
        <translation>Data rate:</translation>
    </message>
    <message>
        <source>自定义波特率(可选)</source>
        <translation>Custom bit rate (optional)</translation>
    </message>
    <message>
        <source>自定义波特率参数</source>
        <translation>Custom bit rate</translation>
    </message>
    <message>
        <source>预分频:</source>
        <translation>Prescaler:</translation>
    </message>
    <message>
        <source>SJW:</source>
        <translation>SJW:</translation>
    </message>
    <message>
        <source>BS1:</source>
        <translation>BS1:</translation>
    </message>
    <message>
        <source>BS2:</source>
        <translation>BS2:</translation>
    </message>
    <message>
        <source>仲裁域-&gt; 时钟:</source>
        <translation>Arbitration clock:</translation>
    </message>
    <message>
        <source>数据域-&gt; 时钟:</source>
        <translation>Data clock:</translation>
    </message>
    <message>
        <source>波特率计算器</source>
        <translation>Bit Rate Calculator</translation>
    </message>
    <message>
        <source>滤波开启(可选)</source>
        <translation>Enable filter (optional)</translation>
    </message>
    <message>
        <source>滤波配置</source>
        <translation>Filter rules</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>文件存储格式:</source>
        <translation>File format:</translation>
    </message>
    <message>
        <source>文件创建间隔:</source>
        <translation>New file every:</translation>
    </message>
    <message>
        <source>分钟(1-255)</source>
        <translation>min (1-255)</translation>
    </message>
    <message>
        <source>磁盘已满策略:</source>
        <translation>When card is full:</translation>
    </message>
    <message>
        <source>删除旧记录继续任务</source>
        <translation>Delete oldest, continue</translation>
    </message>
    <message>
        <source>停止任务</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>设备管理</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>存储卡格式化</source>
        <translation>Format card</translation>
    </message>
    <message>
        <source>容量查询</source>
        <translation>Capacity</translation>
    </message>
    <message>
        <source>设备信息</source>
        <translation>Device info</translation>
    </message>
    <message>
        <source>读写测试</source>
        <translation>Speed test</translation>
    </message>
</context>
<context>
    <name>QUserTableModelCan</name>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>发送失败</source>
        <translation>Send failed</translation>
    </message>
</context>
<context>
    <name>QUserTableModelDBC</name>
    <message>
        <source>双击查看报文</source>
        <translation>Double-click</translation>
    </message>
</context>
<context>
    <name>QUserTableModelEDS</name>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>不支持</source>
        <translation>N/A</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
</context>
<context>
    <name>Ui_QRibbon</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>这是标题</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>主题</source>
        <translation>Theme</translation>
    </message>
</context>
<context>
    <name>Ui_QUserMainWindowCANopen</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>加载EDS</source>
        <translation>Load EDS</translation>
    </message>
    <message>
        <source>快捷帮助</source>
        <translation>Quick Help</translation>
    </message>
    <message>
        <source>解析设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>打开工程</source>
        <translation>Open Project</translation>
    </message>
    <message>
        <source>保存工程</source>
        <translation>Save Project</translation>
    </message>
    <message>
        <source>关闭工程</source>
        <translation>Close Project</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
</context>
<context>
    <name>Ui_QUserMainWindowDBC</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>加载DBC</source>
        <translation>Load DBC</translation>
    </message>
    <message>
        <source>加载DBC文件</source>
        <translation>Load a DBC file</translation>
    </message>
    <message>
        <source>保存工程</source>
        <translation>Save Project</translation>
    </message>
    <message>
        <source>打开工程</source>
        <translation>Open Project</translation>
    </message>
    <message>
        <source>打开工程文件</source>
        <translation>Open a project file</translation>
    </message>
    <message>
        <source>数据清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>停止显示</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>自动缩放</source>
        <translation>Auto Scale</translation>
    </message>
    <message>
        <source>图表自适应</source>
        <translation>Fit the chart to the data</translation>
    </message>
    <message>
        <source>图表设置</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>解析设置</source>
        <translation>Decoding</translation>
    </message>
    <message>
        <source>DBC解析设置</source>
        <translation>DBC decoding settings</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
</context>
<context>
    <name>uiDlgAboutUs</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>(点击下载最新版本)</source>
        <translation>(click for the latest version)</translation>
    </message>
    <message>
        <source>Orvane 开发组</source>
        <translation>Orvane team</translation>
    </message>
    <message>
        <source>CAN/CAN FD 总线分析与测试工具</source>
        <translation>CAN / CAN FD bus analysis and test tool</translation>
    </message>
</context>
<context>
    <name>uiDlgBasic</name>
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
    <name>uiDlgCanMsg</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>帧配置</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>帧协议:</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source>CAN</source>
        <translation>CAN</translation>
    </message>
    <message>
        <source>CANFD</source>
        <translation>CANFD</translation>
    </message>
    <message>
        <source>CANFD加速</source>
        <translation>CANFD BRS</translation>
    </message>
    <message>
        <source>帧格式:</source>
        <translation>Frame format:</translation>
    </message>
    <message>
        <source>数据帧</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>远程帧</source>
        <translation>Remote</translation>
    </message>
    <message>
        <source>帧类型:</source>
        <translation>Frame type:</translation>
    </message>
    <message>
        <source>标准帧</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>扩展帧</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>帧  ID:</source>
        <translation>Frame ID:</translation>
    </message>
    <message>
        <source>(16进制)</source>
        <translation>(hex)</translation>
    </message>
    <message>
        <source>帧长度:</source>
        <translation>Length:</translation>
    </message>
    <message>
        <source>帧注释:</source>
        <translation>Comment:</translation>
    </message>
    <message>
        <source>注释中的半角逗号&quot;,&quot;将替换为全角逗号&quot;，&quot;(配置文件以逗号分隔字段)</source>
        <translation>A comma &quot;,&quot; in a comment is replaced by &quot;，&quot; (the list file separates fields by commas)</translation>
    </message>
    <message>
        <source>帧数据(16进制)</source>
        <translation>Data (hex)</translation>
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
    <name>uiDlgUsbcan2Cfg</name>
    <message>
        <source>定时器0(TIME0)</source>
        <translation>Timing 0 (BTR0)</translation>
    </message>
    <message>
        <source>定时器1(TIME1)</source>
        <translation>Timing 1 (BTR1)</translation>
    </message>
    <message>
        <source>验收码</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>屏蔽码</source>
        <translation>Mask</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>参数错误,请输入1-%1位十六进制数!!!</source>
        <translation>Invalid value: enter 1 to %1 hexadecimal digits!</translation>
    </message>
</context>
<context>
    <name>uiStatusBar</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>设备信息</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>发送速率:0帧/秒</source>
        <translation>Tx rate: 0 fps</translation>
    </message>
    <message>
        <source>接收速率:0帧/秒</source>
        <translation>Rx rate: 0 fps</translation>
    </message>
    <message>
        <source>发送帧数:0帧</source>
        <translation>Sent: 0</translation>
    </message>
    <message>
        <source>接收帧数:0帧</source>
        <translation>Received: 0</translation>
    </message>
    <message>
        <source>清空计数</source>
        <translation>Clear counts</translation>
    </message>
    <message>
        <source>发送帧率:</source>
        <translation>Tx rate: </translation>
    </message>
    <message>
        <source>接收帧率:</source>
        <translation>Rx rate: </translation>
    </message>
    <message>
        <source>帧/秒</source>
        <translation> fps</translation>
    </message>
    <message>
        <source>发送帧数:</source>
        <translation>Sent: </translation>
    </message>
    <message>
        <source>接收帧数:</source>
        <translation>Received: </translation>
    </message>
</context>
</TS>
