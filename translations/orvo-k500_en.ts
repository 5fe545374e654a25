<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AlignmentForm</name>
    <message>
        <source>校准</source>
        <translation>Alignment</translation>
    </message>
    <message>
        <source>校准前请确认打印机电源已打开并与计算机已连接，<byte value="xd"/>
在纸盒放入A4或Letter尺寸的普通纸，然后单击“打印校准页”。</source>
        <translation>Make sure the printer is on and connected,<byte value="xd"/>
load plain A4 or Letter paper, then click “Print page”.</translation>
    </message>
    <message>
        <source>对照打印校准页面，选择校准样本中最符合图示图形的号码</source>
        <translation>In each row, pick the sample closest to the picture</translation>
    </message>
    <message>
        <source>打印校准页</source>
        <translation>Print page</translation>
    </message>
    <message>
        <source>完成校准</source>
        <translation>Finish</translation>
    </message>
</context>
<context>
    <name>AppSetting</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>开机启动</source>
        <translation>Start at login</translation>
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
        <source>无法写入开机启动项：</source>
        <translation>Could not write the login start entry in:</translation>
    </message>
    <message>
        <source>无法删除开机启动项：</source>
        <translation>Could not remove the login start entry from:</translation>
    </message>
</context>
<context>
    <name>BaseForm</name>
    <message>
        <source>打印机名称</source>
        <translation>Printer name</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Orvo喷墨打印工具</source>
        <translation>Orvo Inkjet Printer Tool</translation>
    </message>
</context>
<context>
    <name>CleanForm</name>
    <message>
        <source>清洁模式</source>
        <translation>Head Cleaning</translation>
    </message>
    <message>
        <source>点击“清洗”按钮，发送清洗任务。<byte value="xd"/>
若检测页面与此图页面更接近，图案较为完整，则清洁完成；<byte value="xd"/>
若图案出现残缺，请单击“重新清洗”，直至检测图案与此图页面相似。</source>
        <translation>Click “Clean” to send a cleaning job.<byte value="xd"/>
If the printed page looks like this one, the head is clean;<byte value="xd"/>
if parts are missing, click “Clean again” until it does.</translation>
    </message>
    <message>
        <source>清洗</source>
        <translation>Clean</translation>
    </message>
    <message>
        <source>重新清洗</source>
        <translation>Clean again</translation>
    </message>
</context>
<context>
    <name>FWProgressDialog</name>
    <message>
        <source>Orvo喷墨打印机升级助手</source>
        <translation>Orvo Printer Firmware Updater</translation>
    </message>
    <message>
        <source>正在升级打印机 %1，请勿断开连接或关闭电源……</source>
        <translation>Updating the printer %1; do not disconnect it or switch it off…</translation>
    </message>
    <message>
        <source>第 %1 次尝试：</source>
        <translation>Attempt %1: </translation>
    </message>
</context>
<context>
    <name>FWUpdateResultText</name>
    <message>
        <source>操作成功，请等待打印机更新完成，更新过程中请勿断开电源。</source>
        <translation>Firmware sent. Please wait until the printer has finished updating and do not switch it off meanwhile.</translation>
    </message>
    <message>
        <source>与打印机通信失败，请检查打印机状态并重新尝试更新！</source>
        <translation>Communication with the printer failed; please check the printer and try the update again.</translation>
    </message>
    <message>
        <source>连接打印机失败，请检查连接状态！</source>
        <translation>Could not connect to the printer; please check the connection.</translation>
    </message>
    <message>
        <source>设备接口初始化失败！</source>
        <translation>The device interface could not be initialised.</translation>
    </message>
    <message>
        <source>未知错误！</source>
        <translation>Unknown error.</translation>
    </message>
</context>
<context>
    <name>HomeForm</name>
    <message>
        <source>喷墨打印工具</source>
        <translation>Inkjet Printer Tool</translation>
    </message>
</context>
<context>
    <name>InkLine</name>
    <message>
        <source>高</source>
        <translation>High</translation>
    </message>
    <message>
        <source>中</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>较低</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>低</source>
        <translation>Very low</translation>
    </message>
    <message>
        <source>无</source>
        <translation>Empty</translation>
    </message>
    <message>
        <source>青色：%1   红色：%2   黄色：%3   黑色：%4</source>
        <translation>Cyan: %1  Red: %2  Yellow: %3  Black: %4</translation>
    </message>
</context>
<context>
    <name>MaintCommands</name>
    <message>
        <source>未找到打印机：</source>
        <translation>No printer of this name in the printer list: </translation>
    </message>
    <message>
        <source>没有权限打开打印机的USB设备 %1（属组 %2）。请安装软件包 orvo-printer-k500-desktop（其设备规则允许已登录的桌面用户使用打印机），或请管理员将您加入组 %2 后重新登录。</source>
        <translation>No permission to open the printer&apos;s USB device %1 (group %2). Install the package orvo-printer-k500-desktop, whose device rule lets the logged-in desktop user use the printer, or ask the administrator to add you to the group %2 and log in again.</translation>
    </message>
    <message>
        <source>打印机忙，它正被其他程序使用，请稍后重试！</source>
        <translation>Printer busy: another program is using it; please try again later.</translation>
    </message>
    <message>
        <source>需要9个校准值。</source>
        <translation>Nine alignment values are needed.</translation>
    </message>
    <message>
        <source>#%1的值“%2”超出范围（%3 … %4）！</source>
        <translation>Value &quot;%2&quot; of row #%1 is not in %3 to %4.</translation>
    </message>
    <message>
        <source>IP地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>子网掩码</source>
        <translation>Subnet mask</translation>
    </message>
    <message>
        <source>网关地址</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>主DNS服务器</source>
        <translation>Primary DNS</translation>
    </message>
    <message>
        <source>辅助DNS服务器</source>
        <translation>Secondary DNS</translation>
    </message>
    <message>
        <source>主WINS服务器</source>
        <translation>Primary WINS</translation>
    </message>
    <message>
        <source>辅助WINS服务器</source>
        <translation>Secondary WINS</translation>
    </message>
    <message>
        <source>静态</source>
        <translation>static</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>IP获取方式</source>
        <translation>IP source</translation>
    </message>
    <message>
        <source>需要 dhcp|static 和7个地址。</source>
        <translation>Expected dhcp|static followed by seven addresses.</translation>
    </message>
    <message>
        <source>打印机列表中没有打印机。</source>
        <translation>There are no printers in the printer list.</translation>
    </message>
    <message>
        <source>网络</source>
        <translation>network</translation>
    </message>
</context>
<context>
    <name>MaintText</name>
    <message>
        <source>请选择一个打印机进行操作！</source>
        <translation>Please choose a printer.</translation>
    </message>
    <message>
        <source>请选择通过USB连接的打印机进行操作！</source>
        <translation>Please choose a printer connected over USB.</translation>
    </message>
    <message>
        <source>不支持该打印机型号！</source>
        <translation>This printer model is not supported.</translation>
    </message>
    <message>
        <source>设备接口初始化失败！</source>
        <translation>The device interface could not be initialised.</translation>
    </message>
    <message>
        <source>连接打印机失败，请检查连接状态！</source>
        <translation>Could not connect to the printer; please check the connection.</translation>
    </message>
    <message>
        <source>与打印机通信失败，请检查打印机状态并重新尝试！</source>
        <translation>Communication with the printer failed; please check the printer and try again.</translation>
    </message>
    <message>
        <source>获取数据失败，请稍后重试！</source>
        <translation>Could not read the settings; please try again later.</translation>
    </message>
    <message>
        <source>未知错误！</source>
        <translation>Unknown error.</translation>
    </message>
    <message>
        <source>不正确的地址格式！</source>
        <translation>Invalid address.</translation>
    </message>
    <message>
        <source>设置成功，请等待打印机完成重连！</source>
        <translation>Settings written; please wait until the printer has reconnected.</translation>
    </message>
    <message>
        <source>清洁前请确认打印机电源已打开并与计算机已连接，在纸盒放入A4或Letter尺寸的普通纸</source>
        <translation>Before cleaning, make sure the printer is on and connected, with plain A4 or Letter paper in the tray.</translation>
    </message>
    <message>
        <source>清洁任务已发送，请查看打印机，在清洁完成前，请勿执行其他动作。</source>
        <translation>Cleaning sent; please watch the printer and do nothing else until the cleaning has finished.</translation>
    </message>
    <message>
        <source>校准前请确认打印机电源已打开并与计算机已连接，在纸盒放入A4或Letter尺寸的普通纸</source>
        <translation>Before alignment, make sure the printer is on and connected, with plain A4 or Letter paper in the tray.</translation>
    </message>
    <message>
        <source>校准任务已发送，请查看打印机，在校准完成前，请勿执行其他动作。</source>
        <translation>Alignment page sent; please watch the printer and do nothing else until the alignment has finished.</translation>
    </message>
    <message>
        <source>已完成校准。</source>
        <translation>Alignment finished.</translation>
    </message>
</context>
<context>
    <name>NetForm</name>
    <message>
        <source>网络配置</source>
        <translation>Network Settings</translation>
    </message>
    <message>
        <source>IP获取方式</source>
        <translation>IP assignment</translation>
    </message>
    <message>
        <source>静态</source>
        <translation>Static</translation>
    </message>
    <message>
        <source>IP地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>子网掩码</source>
        <translation>Subnet mask</translation>
    </message>
    <message>
        <source>网关地址</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>主DNS服务器</source>
        <translation>DNS server 1</translation>
    </message>
    <message>
        <source>辅助DNS服务器</source>
        <translation>DNS server 2</translation>
    </message>
    <message>
        <source>主WINS服务器</source>
        <translation>WINS server 1</translation>
    </message>
    <message>
        <source>辅助WINS服务器</source>
        <translation>WINS server 2</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Write</translation>
    </message>
</context>
<context>
    <name>OrvoMessageBox</name>
    <message>
        <source>确  定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取  消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>OrvoPrinterToolWidget</name>
    <message>
        <source>打印机名称</source>
        <translation>Printer name</translation>
    </message>
    <message>
        <source>连接方式</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>剩余墨水量</source>
        <translation>Ink left</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Orvo喷墨打印机助手</source>
        <translation>Orvo Inkjet Printer Assistant</translation>
    </message>
    <message>
        <source>显示主界面</source>
        <translation>Show window</translation>
    </message>
    <message>
        <source>打印机更新助手</source>
        <translation>Firmware updater</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>PrinterConnection</name>
    <message>
        <source>网络</source>
        <translation>Network</translation>
    </message>
</context>
<context>
    <name>StatusView</name>
    <message>
        <source>打印机名称</source>
        <translation>Printer</translation>
    </message>
    <message>
        <source>连接方式</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>剩余墨水量</source>
        <translation>Ink</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>(没有打印机)</source>
        <translation>(no printers)</translation>
    </message>
</context>
<context>
    <name>ToolEntry</name>
    <message>
        <source>Orvo喷墨打印机助手</source>
        <translation>Orvo Inkjet Printer Assistant</translation>
    </message>
    <message>
        <source>%1已经处于运行中！</source>
        <translation>%1 is already running.</translation>
    </message>
    <message>
        <source>确  定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>Widget</name>
    <message>
        <source>Orvo喷墨打印机升级助手</source>
        <translation>Orvo Printer Firmware Updater</translation>
    </message>
    <message>
        <source>选择您要升级的打印机：</source>
        <translation>Printer to update:</translation>
    </message>
    <message>
        <source>刷新列表</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>选择您要升级的固件：</source>
        <translation>Firmware file:</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse…</translation>
    </message>
    <message>
        <source>一键升级</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Orvo喷墨打印工具</source>
        <translation>Orvo Inkjet Printer Tool</translation>
    </message>
    <message>
        <source>打印机名称</source>
        <translation>Printer name</translation>
    </message>
    <message>
        <source>打印机型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>连接方式</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>连接状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>fls Files(*.fls)</source>
        <translation>Firmware files (*.fls)</translation>
    </message>
    <message>
        <source>请选择一个打印机进行操作！</source>
        <translation>Please choose a printer.</translation>
    </message>
    <message>
        <source>请检查文件路径！</source>
        <translation>Please check the file path.</translation>
    </message>
    <message>
        <source>不支持该打印机型号！</source>
        <translation>This printer model is not supported.</translation>
    </message>
    <message>
        <source>是否升级打印机 %1 ？</source>
        <translation>Update the printer %1?</translation>
    </message>
    <message>
        <source>升级文件超过64 MiB，不是打印机的固件，请检查文件！</source>
        <translation>The file is larger than 64 MiB, so it is not printer firmware; please check the file.</translation>
    </message>
    <message>
        <source>读取升级文件失败，请检查文件状态！</source>
        <translation>Could not read the firmware file; please check the file.</translation>
    </message>
    <message>
        <source>打印机正在升级中，请等待当前升级完成后再试！</source>
        <translation>A printer is being updated; please try again when that update has finished.</translation>
    </message>
</context>
</TS>
