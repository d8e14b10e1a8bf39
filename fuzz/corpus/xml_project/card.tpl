<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="1772" ImageSizeY="1181" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="1772" ImageSizeY="1181" BackDPI="300" BackUnitType="0" Landscape="1" Type="1" Image="sunset_glow.jpg" ImageType="1">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="90" BoundingBoxTop="150" BoundingBoxRight="890" BoundingBoxBottom="1030" Angle="-4" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="0" ColorBorderColor="16777215" ColorBorderWidth="12"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="990" BoundingBoxTop="200" BoundingBoxRight="1690" BoundingBoxBottom="442.7" Angle="0" Transparent="1.0" Visible="1" TextString="Happy\r\nBirthday!" lfFaceName="DejaVu Sans" b_bold="1" lfItalic="0" lfUnderline="0" fcolor="16777215" align="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4" IsGradient="1" TextColor2="7923455" GradientDirection="1" IsStrokeEnable="1" EffectStrokeColor="5911200" StrokeWidth="20"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="1280" BoundingBoxTop="720" BoundingBoxRight="1680" BoundingBoxBottom="1120" Angle="0" Transparent="1.0" Visible="1" Image="balloons.png"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="1000" BoundingBoxTop="820" BoundingBoxRight="1160" BoundingBoxBottom="980" Angle="0" Transparent="1.0" Visible="1" Image="star_gold.png"/>
  </scenegraph>
</root>
