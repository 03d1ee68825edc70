<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 十六进制:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扩展帧</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>标准帧</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>普通信号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复用信号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复用器开关</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>消息名称:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>消息ID:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>消息长度:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 字节</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>包含信号数量:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 个</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帧类型:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>消息注释:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帧时间:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>待定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0x</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> &lt;实际传输计算所得ID&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帧ID:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据长度:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据内容:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>所属消息:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>信号名称:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>起始位:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>位长度:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>转换因子:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>转换偏移:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最小值:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大值:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>值描述:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>字节顺序:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Motorola</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Intel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>信号类型:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复用器开关值:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>信号注释:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1映射对象[%2,%3]超出PDO长度,其后的映射未写入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1映射对象%2个,设备只提供%3个映射位置</source>
        <translation type="unfinished"></translation>
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
        <source>没有可打开的通道!!!</source>
        <translation>No channel left to open!</translation>
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
    <name>QUserDlgPlayBack</name>
    <message>
        <source>数据回放</source>
        <translation type="unfinished">Playback</translation>
    </message>
    <message>
        <source>加载文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>错误</source>
        <translation type="unfinished">Error</translation>
    </message>
    <message>
        <source>间隔时间参数不能为空!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>间隔时间不能等于0!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished">Warning</translation>
    </message>
    <message>
        <source>无可发送数据!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帧总数量:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished">Note</translation>
    </message>
    <message>
        <source>成功加载%1条数据。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发送完成!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发送已停止!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发送失败!</source>
        <translation type="unfinished">Send failed!</translation>
    </message>
    <message>
        <source>跳过%1条无法读取的数据。</source>
        <translation type="unfinished"></translation>
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
    <name>QUserEdsParser</name>
    <message>
        <source>%1的COB-ID(0x%2)不可用,PDO保持无效</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知</source>
        <translation type="unfinished"></translation>
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
    <message>
        <source>没有可打开的通道!!!</source>
        <translation>No channel left to open!</translation>
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
