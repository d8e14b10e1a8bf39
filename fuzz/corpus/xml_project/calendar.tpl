<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2480" ImageSizeY="3508" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2480" ImageSizeY="3508" BackDPI="300" BackUnitType="0" Landscape="0" Type="0" FillColor="16777215" FillColor2="16315116" ColorFillType="2">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="200" BoundingBoxTop="200" BoundingBoxRight="2280" BoundingBoxBottom="1900" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="6" EnableMask="0" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="3" Version="4" BoundingBoxLeft="200" BoundingBoxTop="2020" BoundingBoxRight="2280" BoundingBoxBottom="3340" Angle="0" Transparent="1.0" Visible="1" year="2027" firstMonth="1" monthCount="1" firstWeekday="1" fontName="DejaVu Sans" isShowYear="1" hasBackground="0" backgroundColor="4294967295" yearColor="2522491100" yearAlignment="2" monthGap="10" monthAlignment="2" monthColor="2522491135" dayGap="14" dayColor="842150655" dayBKColor="4294967040" weekendColor="2522491135" weekendBKColor="2522490904" hasWeekday="1" weekdayColor="1515870975" weekdayBKColor="2522490910" hasAdjacentDay="1" adjDayColor="2863311615" adjDayBKColor="0" weekday_0="Su" weekday_1="Mo" weekday_2="Tu" weekday_3="We" weekday_4="Th" weekday_5="Fr" weekday_6="Sa" month_0="January" month_1="February" month_2="March" month_3="April" month_4="May" month_5="June" month_6="July" month_7="August" month_8="September" month_9="October" month_10="November" month_11="December"/>
  </scenegraph>
</root>
