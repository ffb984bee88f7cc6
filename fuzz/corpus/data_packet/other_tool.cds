<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<!-- written by another tool: indented, attributes in its own order -->
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD fieldtype="string" WIDTH="20" attrname="NMPRODUTO" required="true"/>
      <FIELD WIDTH="4" attrname="CDFILIAL" fieldtype="string"/>
      <FIELD attrname="QTITENS" fieldtype="i2"/>
      <FIELD attrname="VRPRECO" fieldtype="fixed" DECIMALS="2" WIDTH="15"/>
      <FIELD attrname="IDATIVO" fieldtype="boolean"/>
      <FIELD attrname="DTHRINCMOV" fieldtype="dateTime"/>
      <FIELD attrname="DTMOVI" fieldtype="date"/>
      <FIELD attrname="HRMOVI" fieldtype="time"/>
      <FIELD attrname="F9" fieldname="DS OBS" fieldtype="string" WIDTH="10"/>
    </FIELDS>
    <PARAMS CHANGE_LOG="1 0 4 2 0 8 3 0 1" LCID="1046" DEFAULT_ORDER="1"/>
  </METADATA>
  <ROWDATA>
    <ROW CDFILIAL="0001" RowState="4" NMPRODUTO="Açúcar" QTITENS="2" VRPRECO="4.35" IDATIVO="TRUE" DTHRINCMOV="20261210T14:30:00000" DTMOVI="20261210" HRMOVI="08:15:30000" F9="a &amp; b"/>
    <ROW NMPRODUTO="Café" RowState="1" QTITENS="1" VRPRECO="10"/>
    <ROW RowState="8" VRPRECO="12.5" IDATIVO="false"/>
    <ROW NMPRODUTO="Removido" RowState="2" QTITENS="9"/>
    <ROW NMPRODUTO="Pão" Extra="ignored" QTITENS="-3" DTHRINCMOV="2026-12-09T23:59:59"/>
  </ROWDATA>
</DATAPACKET>
